#include "sysfile/compressed_reader.h"

#include <algorithm>

#include "support/errors.h"

namespace vexa {

CompressedSystemFile::CompressedSystemFile(VEXA_StrBaseIO& stream,
                                           int64_t data_start,
                                           const FileHeader& header,
                                           SparseRowIndex& index)
    : data_start_(data_start),
      index_(index),
      window_(stream, data_start),
      swap_map_(header.byte_swapped && !header.numeric_swap_map.empty()
                    ? header.numeric_swap_map.data()
                    : nullptr),
      slots_(header.nominal_case_size > 0
                 ? static_cast<size_t>(header.nominal_case_size)
                 : 0) {
  VEXA_ASSERT(swap_map_ == nullptr ||
              header.numeric_swap_map.size() >= slots_);
}

bool CompressedSystemFile::NextBlock() {
  block_offset_ = window_.Offset();
  block_size_ = 0;
  // No more than the block itself: the bytes after it may lie beyond a
  // part of the data that cannot be read.
  size_t available = window_.Ensure(static_cast<size_t>(kKeySize));
  if (available == 0) return false;
  if (available < static_cast<size_t>(kKeySize)) {
    Truncated(Sentence(
        "the file ends inside the control bytes of a block, after {} of {}",
        available, kKeySize));
  }
  const size_t size =
      kKeySize + 8 * CountLiterals(reinterpret_cast<const uint8_t*>(window_.Peek()));
  available = window_.Ensure(size);
  const auto* control = reinterpret_cast<const uint8_t*>(window_.Peek());
  if (available < size) {
    Truncated(Sentence("the file ends inside a block, after {} of its {} bytes",
                       available, size));
  }
  block_.control = control;
  block_.literal = window_.Peek() + kKeySize;
  block_.index = 0;
  block_size_ = static_cast<int64_t>(size);
  window_.Advance(size);
  return true;
}

inline bool CompressedSystemFile::LoadBlock() {
  if (window_.Available() < kMaxBlockSize) return NextBlock();
  const char* at = window_.Peek();
  block_.control = reinterpret_cast<const uint8_t*>(at);
  block_.literal = at + kKeySize;
  block_.index = 0;
  const size_t size = kKeySize + 8 * static_cast<size_t>(CountLiterals(block_.control));
  block_offset_ = window_.Offset();
  block_size_ = static_cast<int64_t>(size);
  window_.Advance(size);
  return true;
}

inline bool CompressedSystemFile::NextBlockInCase(size_t produced) {
  if (LoadBlock()) return true;
  end_of_data_ = true;
  if (produced != 0) {
    Truncated(Sentence("the file ends inside a case, after {} of its {} values",
                       produced, slots_));
  }
  return false;
}

void CompressedSystemFile::Truncated(std::string message) const {
  SystemFileException e(kErrTruncated, std::move(message));
  e.SetPlace(Sentence("case data at offset {}", data_start_ + block_offset_));
  throw e;
}

size_t CompressedSystemFile::DecodeWholeBlocks(char* out, size_t produced, size_t want) {
  const char* const start = window_.Peek();
  const char* const end = start + window_.Available();
  const char* p = start;
  const char* last = nullptr;
  // Any block fits in kMaxBlockSize bytes, so no block read here runs past
  // the window's end.
  while (want - produced >= static_cast<size_t>(kKeySize) &&
         end - p >= static_cast<ptrdiff_t>(kMaxBlockSize)) {
    const auto* control = reinterpret_cast<const uint8_t*>(p);
    if (!EightValues(control)) break;
    last = p;
    p = DecodeEight(control, p + kKeySize, out + produced * 8);
    produced += kKeySize;
  }
  if (last != nullptr) {
    // The last block decoded is the block used up, as LoadBlock leaves it.
    block_offset_ = window_.Offset() + (last - start);
    block_size_ = p - last;
    window_.Advance(static_cast<size_t>(p - start));
  }
  return produced;
}

size_t CompressedSystemFile::DecodeCase(char* out) {
  if (end_of_data_) return 0;
  size_t produced = 0;
  while (produced < slots_) {
    if (block_.index == kKeySize && swap_map_ == nullptr && slots_ - produced >= kKeySize) {
      produced = DecodeWholeBlocks(out, produced, slots_);
      if (produced == slots_) break;
    }
    if (block_.index == kKeySize && !NextBlockInCase(produced)) return 0;
    if (block_.index == 0 && swap_map_ == nullptr && slots_ - produced >= kKeySize &&
        EightValues(block_.control)) {
      // The common block: eight values, all within the case.
      block_.literal = DecodeEight(block_.control, block_.literal, out + produced * 8);
      block_.index = kKeySize;
      produced += kKeySize;
      continue;
    }
    produced = swap_map_ == nullptr
                   ? DecodeFromBlock<false>(block_, out, produced, slots_, nullptr)
                   : DecodeFromBlock<true>(block_, out, produced, slots_, swap_map_);
  }
  return produced;
}

bool CompressedSystemFile::SkipCase() {
  if (end_of_data_) return false;
  size_t produced = 0;
  while (produced < slots_) {
    if (block_.index == kKeySize && !NextBlockInCase(produced)) return false;
    if (block_.index == 0 && slots_ - produced >= kKeySize && EightValues(block_.control)) {
      // A whole block of values within the case: the window has passed its
      // literals already.
      produced += kKeySize;
      block_.index = kKeySize;
      continue;
    }
    produced = SkipInBlock(block_, produced, slots_);
  }
  return true;
}

int64_t CompressedSystemFile::Tell() const {
  const int64_t filepos = block_offset_ + block_size_;
  VEXA_ASSERT(filepos % 8 == 0);
  VEXA_ASSERT(block_.index <= kKeySize);
  if (block_.index == kKeySize) return filepos;
  return block_offset_ + block_.index;
}

void CompressedSystemFile::SeekPosition(int64_t position) {
  VEXA_ASSERT(position >= 0);
  window_.SeekTo(position & ~int64_t{7});
  end_of_data_ = false;
  block_.index = kKeySize;
  if (!NextBlock()) {
    end_of_data_ = true;
    return;
  }
  const int skip = static_cast<int>(position & 7);
  for (int i = 0; i < skip; ++i) {
    if (block_.control[i] == kCodeLiteral) block_.literal += 8;
  }
  block_.index = skip;
}

void CompressedSystemFile::MoveToTarget() {
  const int64_t k = target_;
  if (k == current_ - 1 && last_position_ >= 0) {
    // The case just delivered, again.
    SeekPosition(last_position_);
    current_ = k;
  } else if (k != current_) {
    SparseRowIndex::Entry start = index_.Lookup(k);
    SeekPosition(start.position);
    int64_t r = start.case_number;
    while (r < k) {
      const int64_t position = Tell();
      if (!SkipCase()) break;
      index_.Record(r, position);
      last_position_ = position;
      ++r;
    }
    target_ = r;
    current_ = r;
  }
}

int64_t CompressedSystemFile::TargetPosition() {
  MoveToTarget();
  return Tell();
}

void CompressedSystemFile::StartAt(int64_t case_number, int64_t position) {
  VEXA_ASSERT(case_number >= 0 && position >= 0);
  SeekPosition(position);
  index_.Record(case_number, position);
  current_ = target_ = case_number;
  last_position_ = -1;
}

bool CompressedSystemFile::ReadCase(char* out) {
  MoveToTarget();
  if (end_of_data_) return false;
  const int64_t position = Tell();
  index_.Record(current_, position);
  if (DecodeCase(out) == 0) return false;
  last_position_ = position;
  ++current_;
  ++target_;
  return true;
}

void CompressedSystemFile::DecodeRun(char* out, size_t want, size_t& produced) {
  // Counted in a register, and stored before each step that may raise.
  size_t n = 0;
  while (n < want) {
    if (block_.index == kKeySize) {
      n = DecodeWholeBlocks(out, n, want);
      if (n == want) break;
      produced = n;
      if (!LoadBlock()) {
        end_of_data_ = true;
        break;
      }
    }
    if (block_.index == 0 && want - n >= kKeySize && EightValues(block_.control)) {
      block_.literal = DecodeEight(block_.control, block_.literal, out + n * 8);
      block_.index = kKeySize;
      n += kKeySize;
      continue;
    }
    n = DecodeFromBlock<false>(block_, out, n, want, nullptr);
  }
  produced = n;
}

size_t CompressedSystemFile::ReadCases(char* out, size_t count, size_t& done) {
  done = 0;
  MoveToTarget();
  if (swap_map_ != nullptr) {
    // The other byte order: case by case, each slot swapped as it is.
    for (; done < count && ReadCase(out); ++done) out += slots_ * 8;
    return done;
  }
  // Runs of cases decoded as one stream of values, each run starting at a
  // case whose position the index is offered: a case takes 1 to 9 bytes a
  // slot, so a run spans less than the index's least spacing.
  const size_t run_cases = std::max<size_t>(1, 256 / slots_);
  while (done < count && !end_of_data_) {
    const size_t cases = std::min(run_cases, count - done);
    index_.Record(current_, Tell());
    size_t produced = 0;
    // The whole cases of a run count also when damage stops it.
    auto deliver = [&] {
      const size_t whole = produced / slots_;
      done += whole;
      current_ += static_cast<int64_t>(whole);
      target_ += static_cast<int64_t>(whole);
      out += whole * slots_ * 8;
      // The position of a case inside a run is not known: the case just
      // delivered is found through the index when it is asked for again.
      last_position_ = -1;
      return whole;
    };
    try {
      DecodeRun(out, cases * slots_, produced);
    } catch (...) {
      deliver();
      throw;
    }
    if (deliver() < cases) {
      if (produced % slots_ != 0) {
        Truncated(Sentence("the file ends inside a case, after {} of its {} values",
                           produced % slots_, slots_));
      }
      break;
    }
  }
  return done;
}

}  // namespace vexa
