// Adding cases to finished files: the data continues where it ended (inside
// a partly filled command block for byte-code data), both case counts are
// patched, and the result equals a file written in one go.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "io/file_stream.h"
#include "sysfile/save_ds.h"
#include "sysfile/writer_files.h"

namespace vexa {
namespace {

using testing::CaseCountUnit;
using testing::CaseReader;
using testing::I32At;
using testing::WriterFile;

// Case i of the variables a, b (numeric) and s (A8): b is a literal.
std::vector<char> SampleCase(int i) {
  std::vector<char> c(24, ' ');
  const double a = i;
  const double b = i + 0.25;
  std::memcpy(c.data(), &a, 8);
  std::memcpy(c.data() + 8, &b, 8);
  const std::string s = "c" + std::to_string(i);
  std::memcpy(c.data() + 16, s.data(), s.size());
  return c;
}

// A finished file of `count` sample cases.
void WriteSampleFile(WriterFile& f, int count) {
  f.AddVar("a", 0);
  f.AddVar("b", 0);
  f.AddVar("s", 8);
  for (int i = 0; i < count; ++i) f.Write(SampleCase(i));
  f.Finish();
}

class AppendTest : public ::testing::TestWithParam<int> {};

TEST_P(AppendTest, ContinuesTheDataAndEqualsAFileWrittenAtOnce) {
  // 3 slots per case: after 3 cases the last block holds 1 control byte.
  WriterFile appended(GetParam());
  WriteSampleFile(appended, 3);
  {
    auto source = SystemFileDataSource::OpenForAppending(appended.Path());
    EXPECT_EQ(source->State(), SystemFileDataSource::kFinished);
    for (int i = 3; i < 5; ++i) source->WriteCase(SampleCase(i).data());
    EXPECT_EQ(source->FinishWriting(), 0);
    // And once more on the same data source.
    for (int i = 5; i < 8; ++i) source->WriteCase(SampleCase(i).data());
    EXPECT_EQ(source->FinishWriting(), 0);
    EXPECT_EQ(source->CaseCount(), 8);
  }
  WriterFile at_once(GetParam());
  WriteSampleFile(at_once, 8);

  const std::string got = appended.Bytes();
  const std::string want = at_once.Bytes();
  const size_t data_start = static_cast<size_t>(at_once.Writer().DataStart());
  EXPECT_EQ(got.substr(data_start), want.substr(data_start));
  EXPECT_EQ(I32At(got, 80), 8);
  EXPECT_EQ(CaseCountUnit(got), 8);

  CaseReader r(appended.Read());
  for (int i = 0; i < 8; ++i) {
    ASSERT_TRUE(r.iterator->ReadNext()) << i;
    EXPECT_EQ(r.Slots(0, 3), std::string(SampleCase(i).data(), 24));
  }
  EXPECT_FALSE(r.iterator->ReadNext());
}

TEST_P(AppendTest, AWriteWhileAnIteratorIsOpenIsAStateError) {
  WriterFile f(GetParam());
  WriteSampleFile(f, 2);
  auto source = SystemFileDataSource::OpenForAppending(f.Path());
  {
    std::vector<char> buffer(24);
    auto iterator = source->CreateIterator(buffer.data());
    ASSERT_NE(iterator, nullptr);
    EXPECT_EQ(testing::ErrorNumberOf([&] { source->WriteCase(SampleCase(2).data()); }),
              kErrBadState);
  }
  source->WriteCase(SampleCase(2).data());
  EXPECT_EQ(source->FinishWriting(), 0);
  EXPECT_EQ(I32At(f.Bytes(), 80), 3);
}

INSTANTIATE_TEST_SUITE_P(Storage, AppendTest, ::testing::Values(0, 1),
                         [](const auto& info) {
                           return info.param ? "ByteCode" : "Uncompressed";
                         });

// A total beyond the 32-bit field: the header says -1, the 64-bit record
// has the count.
TEST(CaseCountPatchTest, TotalsOf2To31AndMoreLeaveTheHeaderUnrecorded) {
  WriterFile f;
  f.AddVar("a", 0);
  auto stream = std::make_unique<VEXA_FileStream>();
  ASSERT_TRUE(stream->Open(f.Path(), "w+"));
  SystemFileDataSource::SaveDS save(f.Writer(), std::move(stream));
  save.WriteDictionary();
  save.StartCases(2147483647, 0);
  const double one = 1.0;
  save.WriteCase(reinterpret_cast<const char*>(&one));
  save.Complete();
  const std::string bytes = f.Bytes();
  EXPECT_EQ(I32At(bytes, 80), -1);
  EXPECT_EQ(CaseCountUnit(bytes), int64_t{2147483648});
}

}  // namespace
}  // namespace vexa
