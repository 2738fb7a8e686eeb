// Case data as the writer produces it: byte-code blocks byte for byte and
// the failure of a short raw write.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support/memory_stream.h"
#include "sysfile/case_writer.h"
#include "layout/file_header.h"
#include "sysfile/writer_files.h"

namespace vexa {
namespace {

using testing::WriterFile;

std::string Bits(double v) { return std::string(reinterpret_cast<char*>(&v), 8); }

// The case data of a written file.
std::string CaseData(WriterFile& f) {
  return f.Bytes().substr(static_cast<size_t>(f.Writer().DataStart()));
}

// The slots of one case in memory, from numbers.
std::string Slots(std::initializer_list<double> values) {
  std::string out;
  for (double v : values) out += Bits(v);
  return out;
}

TEST(ByteCodeWriterTest, APartialBlockStaysInMemoryUntilFinish) {
  testing::MemoryStream stream;
  SparseRowIndex index;
  CaseWriter writer(stream, 6, true, index, 0, 0);
  std::string c = Slots({1.0, 2.5, SysmisValue(), 0.0, 0.0, -0.0});
  c.replace(24, 8, "        ");
  writer.Write(c.data());
  EXPECT_EQ(stream.data(), "");
  writer.Finish();
  const std::string want = std::string("\x65\xfd\xff\xfe\x64\xfd\x00\x00", 8) +
                           Bits(2.5) + Bits(-0.0);
  EXPECT_EQ(stream.data(), want);
  writer.Finish();  // nothing written since: nothing to do
  EXPECT_EQ(stream.data(), want);
}

TEST(ByteCodeWriterTest, FullBlocksNeedNoFillersAndCasesAreIndexed) {
  testing::MemoryStream stream;
  SparseRowIndex index;
  CaseWriter writer(stream, 4, true, index, 10, 0);
  const std::string c = Slots({151.0, 152.0, -99.0, -100.0});
  writer.Write(c.data());
  writer.Write(c.data());  // the 8th control byte completes the block
  writer.Finish();
  EXPECT_EQ(stream.data(), std::string("\xfb\xfd\x01\xfd\xfb\xfd\x01\xfd", 8) +
                               Bits(152) + Bits(-100) + Bits(152) + Bits(-100));
  EXPECT_EQ(writer.CasesWritten(), 2u);
  // Case numbers count on from the cases already in the file.
  EXPECT_EQ(index.Lookup(10).case_number, 10);
  EXPECT_EQ(index.Lookup(10).position, 0);
}

TEST(ByteCodeWriterTest, AFinishedFileHoldsTheBlocksAndTheCount) {
  WriterFile f(1);
  for (int i = 0; i < 3; ++i) f.AddVar("v" + std::to_string(i), 0);
  auto c = f.EmptyCase();
  f.SetNumber(c, 0, 1.0);
  f.SetNumber(c, 1, 0.5);
  f.Write(c);
  f.Finish();
  const std::string data = CaseData(f);
  EXPECT_EQ(data, std::string("\x65\xfd\xff\x00\x00\x00\x00\x00", 8) + Bits(0.5));
  EXPECT_EQ(testing::I32At(f.Bytes(), 80), 1);
}

// Very long strings are laid out as the golden files and the layout tests
// show; the committed writer answers for their short names.
TEST(VeryLongStringTest, ACommittedWriterKnowsTheShortNames) {
  WriterFile f;
  f.AddVar("LONGSTRINGVAR", 600);
  f.Writer().CommitHeader();
  std::string short_name;
  ASSERT_TRUE(f.Writer().FindShortName("LONGSTRINGVAR", &short_name));
  EXPECT_EQ(short_name, "LONGSTRI");
  EXPECT_FALSE(f.Writer().FindShortName("absent", &short_name));
}

// A stream that takes only half of every write.
class ShortWriteStream : public testing::MemoryStream {
 public:
  size_t Write(const void* src, size_t size) override {
    return MemoryStream::Write(src, size / 2);
  }
};

TEST(RawCaseWriteTest, AShortWriteFailsAndIsNotCounted) {
  ShortWriteStream stream;
  SparseRowIndex index;
  CaseWriter writer(stream, 2, false, index, 0, 0);
  const std::string c(16, 'x');
  EXPECT_EQ(testing::ErrorNumberOf([&] { writer.Write(c.data()); }), kErrRawCaseWrite);
  EXPECT_EQ(writer.CasesWritten(), 0u);
}

}  // namespace
}  // namespace vexa
