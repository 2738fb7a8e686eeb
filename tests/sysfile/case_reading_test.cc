// Reading cases through the system file iterator: sequential reads, seeks,
// the end of the data and the case count, in both byte orders, for
// uncompressed and byte-code data; then the same files cut at every byte of
// their data. The sparse row index behind far seeks: lookups before any
// pair, old positions ignored, and a size bound with brute-force lookups
// over two million recorded cases; its spacing and thinning policy shows
// only in that bound and in the far seek.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <tuple>
#include <utility>

#include "io/zlib_stream.h"
#include "sysfile/sparse_row_index.h"
#include "sysfile/test_files.h"

namespace vexa {
namespace {

using testing::MemoryStream;

using testing::CaseReader;
using testing::SampleCaseBytes;
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
};

TEST_P(CaseReadingTest, ReadsEveryCaseThenTheEndAndCorrectsTheCount) {
  CaseReader r(File(10));
  EXPECT_EQ(r.source->CaseCount(), -1);
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(r.iterator->ReadNext()) << i;
    EXPECT_EQ(r.Slots(0, 3), SampleCaseBytes(i));
  }
  EXPECT_FALSE(r.iterator->ReadNext());
  EXPECT_EQ(r.source->CaseCount(), 10);
  // A count in the header is lowered to the cases found, never raised.
  for (auto [header, after] : {std::pair{20, 3}, {2, 2}}) {
    CaseReader c(File(3, header));
    EXPECT_EQ((std::pair{c.ReadAll(), c.source->CaseCount()}), std::pair(3, int64_t{after}));
  }
}

TEST_P(CaseReadingTest, SeeksForwardBackBeyondTheEndAndToTheCaseJustRead) {
  CaseReader r(File(10));
  ASSERT_TRUE(r.iterator->Seek(100));  // before any read
  EXPECT_FALSE(r.iterator->ReadNext());
  EXPECT_EQ(r.source->CaseCount(), 10);
  ASSERT_TRUE(r.iterator->Seek(7));
  EXPECT_EQ(r.ReadAll(), 3);
  for (int k : {2, 2, 3, 9, 0, 5, 4}) {
    ASSERT_TRUE(r.iterator->Seek(k));
    ASSERT_TRUE(r.iterator->ReadNext()) << k;
    EXPECT_EQ(r.Slots(0, 3), SampleCaseBytes(k));
  }
  ASSERT_TRUE(r.iterator->ReadNext());
  EXPECT_EQ(r.Slots(0, 3), SampleCaseBytes(5));
  EXPECT_FALSE(r.iterator->Seek(-1));
}

// Uncompressed: the whole cases before the cut, then the end or, for a cut
// case, a truncation. Byte code: fewer cases, or a truncation.
TEST_P(CaseReadingTest, EveryTruncationEndsTheDataOrIsTruncated) {
  const std::string file = File(7);
  const size_t start = static_cast<size_t>(testing::OpenBytes(file)->DataStart());
  for (size_t cut = start; cut < file.size(); ++cut) {
    SCOPED_TRACE(::testing::Message() << "cut at " << cut);
    size_t n = 0;
    const long error = testing::ErrorNumberOf([&] {
      CaseReader r(file.substr(0, cut));
      while (r.iterator->ReadNext()) ++n;
    });
    if (std::get<0>(GetParam()) == Storage::kUncompressed) {
      EXPECT_EQ(n, (cut - start) / 24);
      EXPECT_EQ(error, (cut - start) % 24 == 0 ? 0 : long{kErrTruncated});
    } else {
      EXPECT_TRUE(error == kErrTruncated || (error == 0 && n < 7)) << n;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CaseReadingTest,
    ::testing::Combine(::testing::Values(Storage::kUncompressed,
                                         Storage::kCompressed),
                       ::testing::Bool()),
    [](const auto& info) {
      return std::string(std::get<0>(info.param) == Storage::kCompressed ? "compressed"
                                                                          : "uncompressed") +
             (std::get<1>(info.param) ? "_big_endian" : "_little_endian");
    });

// Cases of whole blocks of eight literal numbers in the other byte order
// are swapped like any other.
TEST(SwappedCaseTest, WholeBlocksOfLiteralsAreSwapped) {
  testing::SysFileBuilder b(true);
  b.Header({.compression = 1});
  std::vector<testing::CaseSlot> slots;
  std::string want;
  for (int i = 0; i < 9; ++i) {
    b.NumericVar("v" + std::to_string(i));
    slots.push_back(testing::CaseSlot::Number(i + 0.5));
    want += testing::DoubleBytes(i + 0.5);
  }
  CaseReader r(b.End().CompressedCases({slots}).Bytes());
  ASSERT_TRUE(r.iterator->ReadNext());
  EXPECT_EQ(r.Slots(0, 9), want);
}

// 60000 cases of mostly literals, 1.6 MB: more than one read window.
TEST(CaseSeekIndexTest, FarSeekBackUsesTheIndexNotARescan) {
  constexpr int kCases = 60000;
  auto stream = std::make_unique<MemoryStream>(SampleCasesFile(Storage::kCompressed, kCases));
  const MemoryStream* counter = stream.get();
  CaseReader r(SystemFileDataSource::OpenForReading(std::move(stream)));
  EXPECT_EQ(r.ReadAll(), kCases);
  const size_t data_bytes = counter->data().size() - r.source->DataStart();
  EXPECT_GT(data_bytes, size_t{3} << 19);
  for (int k : {55000, 30123, 59999}) {
    const size_t before = counter->bytes_read();
    ASSERT_TRUE(r.iterator->Seek(k));
    ASSERT_TRUE(r.iterator->ReadNext());
    EXPECT_EQ(r.Slots(0, 3), SampleCaseBytes(k));
    EXPECT_LT(counter->bytes_read() - before, data_bytes / 4) << k;
  }
}

// A damaged zlib block, wherever it lies: every case wholly before it
// arrives, then the read error. In both byte orders, with command blocks of
// literals (72 bytes for 8 cases) and of codes alone (8 bytes for 8).
TEST(ZlibCaseTest, ADamagedBlockComesAfterEveryCaseBeforeIt) {
  constexpr int32_t kBlock = 1000;
  testing::TempDir dir;
  for (auto [big_endian, fraction] : {std::pair{false, .5}, {true, 0.}}) {
    std::vector<std::vector<testing::CaseSlot>> cases;
    for (int i = 0; i < 4000; ++i) cases.push_back({testing::CaseSlot::Number(i % 100 + fraction)});
    testing::SysFileBuilder b(big_endian);
    b.Header({.magic = "$FL3", .compression = 2}).NumericVar("x").MachineInts().MachineFloats();
    const std::string good = b.End().CompressedCases(cases).ZlibCases(kBlock).Bytes();
    const auto good_file = SystemFileDataSource::OpenForReading(dir.Write("good.vexa", good));
    const ZlibBlockIndex& index = *good_file->Stream()->ZlibBlocks().index;
    for (int64_t k = 0; k < index.Count(); ++k) {
      std::string bad = good;
      bad[static_cast<size_t>(index.At(k).translated_pos)] ^= 0x55;
      CaseReader r(SystemFileDataSource::OpenForReading(dir.Write("bad.vexa", bad)));
      int n = 0;
      EXPECT_EQ(testing::ErrorNumberOf([&] { while (r.iterator->ReadNext()) ++n; }),
                kErrBadStructure) << big_endian << fraction << k;
      EXPECT_EQ(n, k * kBlock / (fraction != 0 ? 72 : 8) * 8) << big_endian << fraction << k;
    }
  }
}

using Entry = SparseRowIndex::Entry;

TEST(SparseRowIndexTest, StaysSmallAndFindsTheGreatestPairNotAbove) {
  SparseRowIndex index;
  EXPECT_EQ(index.Lookup(5), (Entry{0, 0}));
  index.Record(0, 0);
  index.Record(10, 5000);
  index.Record(5, 200);  // behind the last position seen
  EXPECT_EQ(index.Lookup(9), (Entry{0, 0}));
  EXPECT_EQ(index.Lookup(10), (Entry{10, 5000}));
  constexpr unsigned kSeed = 20240611;
  std::printf("sparse row index seed %u\n", kSeed);
  std::mt19937 rng(kSeed);
  int64_t position = 5008;
  for (int64_t r = 11; r < 2000000; ++r) {
    index.Record(r, position);
    position += 8 + 8 * static_cast<int64_t>(rng() % 64);
  }
  const auto& entries = index.Entries();
  EXPECT_LT(entries.size() * sizeof(Entry), static_cast<size_t>(index.Spacing()));
  for (int i = 0; i < 2000; ++i) {
    const int64_t k = rng() % 2100000;
    // Brute force: the last pair whose case number is <= k.
    Entry expected{0, 0};
    for (const Entry& e : entries) {
      if (e.case_number <= k) expected = e;
    }
    ASSERT_EQ(index.Lookup(k), expected) << k;
    EXPECT_EQ(index.Lookup(k), expected);  // the cached pair
  }
}

}  // namespace
}  // namespace vexa
