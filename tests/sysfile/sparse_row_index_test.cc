// The sparse row index: spacing, thinning and lookups.
#include "sysfile/sparse_row_index.h"

#include <gtest/gtest.h>

#include <random>

namespace vexa {
namespace {

using Entry = SparseRowIndex::Entry;

// The spacing and thinning policy shows only in the size bound below and in
// the reader's seek test; here, the lookups.
TEST(SparseRowIndexTest, LooksUpTheStartBeforeAnyPairAndIgnoresOldPositions) {
  SparseRowIndex index;
  EXPECT_EQ(index.Lookup(5), (Entry{0, 0}));
  index.Record(10, 5000);
  index.Record(5, 200);  // behind the last position seen
  EXPECT_EQ(index.Lookup(9), (Entry{0, 0}));
  EXPECT_EQ(index.Lookup(10), (Entry{10, 5000}));
  EXPECT_EQ(index.Lookup(1000), (Entry{10, 5000}));
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
