// SparseRowIndex: the recorded starts of some cases of byte-code data, as
// (case number, compressed position) pairs in increasing order. One per open
// file, shared by its iterators, so that random access costs only the cases
// between the nearest recorded start and the target.
//
// Recording keeps the pairs at least `spacing` position units apart; when
// the list's size in bytes (16 per pair) reaches spacing x scale, every
// other pair is dropped and the spacing doubles, so the list stays small
// however long the data is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexa {

class SparseRowIndex {
 public:
  struct Entry {
    int64_t case_number;
    int64_t position;
    friend bool operator==(const Entry&, const Entry&) = default;
  };

  static constexpr int64_t kInitialSpacing = 4096;

  // Records that case `case_number` starts at `position`. Positions at or
  // before the last one seen are ignored.
  void Record(int64_t case_number, int64_t position);
  // The recorded pair with the greatest case number not above
  // `case_number`; (0, 0), the start of the data, when there is none.
  Entry Lookup(int64_t case_number) const;

  const std::vector<Entry>& Entries() const { return entries_; }
  int64_t Spacing() const { return spacing_; }

 private:
  void Thin();

  std::vector<Entry> entries_;
  int64_t spacing_ = kInitialSpacing;
  int64_t scale_ = 1;
  int64_t last_seen_ = -1;
  mutable size_t cached_ = 0;
};

}  // namespace vexa
