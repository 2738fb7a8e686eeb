// The sparse row index: spacing, thinning and lookups.
#include "sysfile/sparse_row_index.h"

#include <gtest/gtest.h>

#include <random>

namespace vexa {
namespace {

using Entry = SparseRowIndex::Entry;

TEST(SparseRowIndexTest, LooksUpTheStartBeforeAnyPair) {
  SparseRowIndex index;
  EXPECT_EQ(index.Lookup(5), (Entry{0, 0}));
  index.Record(10, 5000);
  EXPECT_EQ(index.Lookup(9), (Entry{0, 0}));
  EXPECT_EQ(index.Lookup(10), (Entry{10, 5000}));
  EXPECT_EQ(index.Lookup(1000), (Entry{10, 5000}));
}

TEST(SparseRowIndexTest, KeepsPairsASpacingApartAndIgnoresOldPositions) {
  SparseRowIndex index;
  for (int r = 0; r < 100; ++r) index.Record(r, r * 100);
  index.Record(5, 200);  // behind the last position seen
  ASSERT_EQ(index.Entries().size(), 3u);
  EXPECT_EQ(index.Entries()[1], (Entry{41, 4100}));
  EXPECT_EQ(index.Entries()[2], (Entry{82, 8200}));
}

TEST(SparseRowIndexTest, AJumpBeyondTheSpacingWidensIt) {
  SparseRowIndex index;
  index.Record(0, 0);
  index.Record(1, 100000);
  EXPECT_EQ(index.Spacing(), 100000);
  index.Record(2, 150000);
  EXPECT_EQ(index.Entries().size(), 2u);
}

TEST(SparseRowIndexTest, ThinsToEvenIndexesAndDoublesTheSpacing) {
  SparseRowIndex index;
  for (int r = 0; r < 256; ++r) index.Record(r, r * 4096);
  ASSERT_EQ(index.Entries().size(), 128u);
  EXPECT_EQ(index.Spacing(), 8192);
  for (size_t i = 0; i < 128; ++i) {
    EXPECT_EQ(index.Entries()[i].case_number, static_cast<int64_t>(2 * i));
  }
}

TEST(SparseRowIndexTest, StaysSmallAndFindsTheGreatestPairNotAbove) {
  constexpr unsigned kSeed = 20240611;
  std::printf("sparse row index seed %u\n", kSeed);
  std::mt19937 rng(kSeed);
  SparseRowIndex index;
  int64_t position = 0;
  for (int64_t r = 0; r < 2000000; ++r) {
    index.Record(r, position);
    position += 8 + 8 * static_cast<int64_t>(rng() % 64);
  }
  const auto& entries = index.Entries();
  EXPECT_LT(entries.size() * sizeof(Entry), static_cast<size_t>(index.Spacing()));
  for (int i = 0; i < 2000; ++i) {
    const int64_t k = rng() % 2100000;
    const Entry found = index.Lookup(k);
    // Brute force: the last pair whose case number is <= k.
    Entry expected{0, 0};
    for (const Entry& e : entries) {
      if (e.case_number <= k) expected = e;
    }
    ASSERT_EQ(found, expected) << k;
    EXPECT_EQ(index.Lookup(k), expected);  // the cached pair
  }
}

}  // namespace
}  // namespace vexa
