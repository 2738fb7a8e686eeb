#include "sysfile/sparse_row_index.h"

#include <algorithm>

namespace vexa {

void SparseRowIndex::Record(int64_t case_number, int64_t position) {
  if (position <= last_seen_) return;
  if (position - last_seen_ > spacing_ * scale_) {
    spacing_ = (position - last_seen_) / scale_;
  }
  if (!entries_.empty() && entries_.back().position + spacing_ > position) {
    last_seen_ = position;
    return;
  }
  entries_.push_back({case_number, position});
  last_seen_ = position;
  if (static_cast<int64_t>(entries_.size() * sizeof(Entry)) >=
      spacing_ * scale_) {
    Thin();
  }
}

void SparseRowIndex::Thin() {
  size_t kept = 0;
  for (size_t i = 0; i < entries_.size(); i += 2) entries_[kept++] = entries_[i];
  entries_.resize(kept);
  spacing_ *= 2;
  cached_ = 0;
}

SparseRowIndex::Entry SparseRowIndex::Lookup(int64_t case_number) const {
  if (entries_.empty() || case_number < entries_.front().case_number) {
    return {0, 0};
  }
  if (cached_ < entries_.size() &&
      entries_[cached_].case_number <= case_number &&
      (cached_ + 1 == entries_.size() ||
       entries_[cached_ + 1].case_number > case_number)) {
    return entries_[cached_];
  }
  auto above = std::upper_bound(
      entries_.begin(), entries_.end(), case_number,
      [](int64_t k, const Entry& e) { return k < e.case_number; });
  cached_ = static_cast<size_t>(above - entries_.begin()) - 1;
  return entries_[cached_];
}

}  // namespace vexa
