// The sparse row index: lookups before any pair, old positions ignored, and
// a size bound with brute-force lookups over two million recorded cases. The
// spacing and thinning policy shows only in the size bound and in the
// reader's seek test.
#include "sysfile/sparse_row_index.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace vexa {
namespace {

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
