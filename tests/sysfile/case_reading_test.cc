// Reading cases through the system file iterator: sequential reads, seeks,
// the end of the data and the case count, byte order and truncation, for
// uncompressed and byte-code data. Byte-code data that ends inside a case is
// covered by the codec's truncation cases and the case damage sweep.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "sysfile/case_files.h"

namespace vexa {
namespace {

using testing::CaseReader;
using testing::SampleCasesFile;
using testing::Storage;

// Parameters: storage, big-endian file.
class CaseReadingTest
    : public ::testing::TestWithParam<std::tuple<Storage, bool>> {
 protected:
  std::string File(int cases, int32_t case_count = -1) {
    return SampleCasesFile(std::get<0>(GetParam()), cases,
                           std::get<1>(GetParam()), case_count);
  }
  static void ExpectCase(const CaseReader& r, int i) {
    EXPECT_EQ(r.Number(0), i);
    EXPECT_EQ(r.Number(1), i + 0.25);
    std::string text = "c" + std::to_string(i);
    text.resize(8, ' ');
    EXPECT_EQ(r.Slots(2, 1), text);
  }
};

TEST_P(CaseReadingTest, ReadsEveryCaseThenTheEndAndCorrectsTheCount) {
  CaseReader r(File(10));
  EXPECT_EQ(r.source->CaseCount(), -1);
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(r.iterator->ReadNext()) << i;
    ExpectCase(r, i);
  }
  EXPECT_FALSE(r.iterator->ReadNext());
  EXPECT_FALSE(r.iterator->ReadNext());
  EXPECT_EQ(r.source->CaseCount(), 10);
}

TEST_P(CaseReadingTest, SeeksForwardBackBeyondTheEndAndToTheCaseJustRead) {
  CaseReader fresh(File(4));
  ASSERT_TRUE(fresh.iterator->Seek(100));
  EXPECT_FALSE(fresh.iterator->ReadNext());
  EXPECT_EQ(fresh.source->CaseCount(), 4);
  CaseReader r(File(10));
  ASSERT_TRUE(r.iterator->Seek(7));
  for (int i = 7; i < 10; ++i) {
    ASSERT_TRUE(r.iterator->ReadNext());
    ExpectCase(r, i);
  }
  EXPECT_FALSE(r.iterator->ReadNext());
  for (int k : {2, 2, 3, 9, 0, 5, 4}) {
    ASSERT_TRUE(r.iterator->Seek(k));
    ASSERT_TRUE(r.iterator->ReadNext()) << k;
    ExpectCase(r, k);
  }
  ASSERT_TRUE(r.iterator->ReadNext());
  ExpectCase(r, 5);
  EXPECT_FALSE(r.iterator->Seek(-1));
}

TEST_P(CaseReadingTest, CaseCountIsLoweredButNeverRaised) {
  {
    CaseReader r(File(3, 20));
    EXPECT_EQ(r.ReadAll(), 3);
    EXPECT_EQ(r.source->CaseCount(), 3);
  }
  CaseReader r(File(3, 2));
  EXPECT_EQ(r.ReadAll(), 3);  // reading goes on past a small count
  EXPECT_EQ(r.source->CaseCount(), 2);
}

TEST_P(CaseReadingTest, TwoIteratorsOverOneFileKeepTheirOwnPlace) {
  CaseReader r(File(6));
  std::vector<char> other_buffer(r.buffer.size());
  auto other = r.source->CreateIterator(other_buffer.data());
  ASSERT_TRUE(other->Seek(4));
  ASSERT_TRUE(r.iterator->ReadNext());
  ASSERT_TRUE(other->ReadNext());
  ASSERT_TRUE(r.iterator->ReadNext());
  ExpectCase(r, 1);
  double v;
  std::memcpy(&v, other_buffer.data(), 8);
  EXPECT_EQ(v, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CaseReadingTest,
    ::testing::Combine(::testing::Values(Storage::kUncompressed,
                                         Storage::kCompressed),
                       ::testing::Bool()),
    [](const auto& info) {
      return std::string(std::get<0>(info.param) == Storage::kCompressed
                             ? "compressed"
                             : "uncompressed") +
             (std::get<1>(info.param) ? "_big_endian" : "_little_endian");
    });

TEST(CaseTruncationTest, UncompressedCaseCutShortFails) {
  std::string file = SampleCasesFile(Storage::kUncompressed, 2);
  CaseReader r(file.substr(0, file.size() - 24 + 4));
  ASSERT_TRUE(r.iterator->ReadNext());
  try {
    r.iterator->ReadNext();
    FAIL() << "no error";
  } catch (const SystemFileException& e) {
    EXPECT_EQ(e.number(), kErrTruncated);
  }
}

TEST(CaseSeekIndexTest, FarSeekBackUsesTheIndexNotARescan) {
  // Every slot a literal: 9 bytes a slot, 40000 cases of 4 slots = 1.4 MB,
  // more than one read window.
  testing::SysFileBuilder b;
  b.Header({.compression = 1}).NumericVar("w").NumericVar("x").NumericVar("y")
      .NumericVar("z").End();
  std::vector<std::vector<testing::CaseSlot>> cases;
  constexpr int kCases = 40000;
  for (int i = 0; i < kCases; ++i) {
    cases.push_back({testing::CaseSlot::Number(i + 0.5), testing::CaseSlot::Number(-i - 0.5),
                     testing::CaseSlot::Number(i * 1e6), testing::CaseSlot::Number(1e9 - i)});
  }
  b.CompressedCases(cases);
  auto stream = std::make_unique<testing::CountingStream>(b.Bytes());
  testing::CountingStream* counter = stream.get();
  CaseReader r(SystemFileDataSource::OpenForReading(std::move(stream)));
  EXPECT_EQ(r.ReadAll(), kCases);
  const size_t data_bytes = counter->data().size() - r.source->DataStart();
  EXPECT_GT(data_bytes, size_t{1} << 20);
  for (int k : {35000, 30123, 39999}) {
    const size_t before = counter->bytes_read;
    ASSERT_TRUE(r.iterator->Seek(k));
    ASSERT_TRUE(r.iterator->ReadNext());
    EXPECT_EQ(r.Number(0), k + 0.5);
    EXPECT_EQ(r.Number(3), 1e9 - k);
    EXPECT_LT(counter->bytes_read - before, data_bytes - 36u * 30000) << k;
  }
}

TEST(ZlibCaseDataTest, ZlibCaseDataHasNoIteratorYet) {
  testing::SysFileBuilder b;
  auto source = testing::OpenBytes(
      b.Header({.compression = 2}).NumericVar("x").End().Bytes());
  std::vector<char> buffer(8);
  try {
    source->CreateIterator(buffer.data());
    FAIL() << "no error";
  } catch (const SystemFileException& e) {
    EXPECT_EQ(e.number(), kErrBadStructure);
  }
}

}  // namespace
}  // namespace vexa
