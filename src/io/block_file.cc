// VEXA_File seen through a BlockTransform: plain positions over stored
// blocks. A stored block b (plain bytes [16b, 16b + 16)) lies at
// header + 16b; the last block of the file, from Down(plain size) on, is
// kept in memory and stored with its padding by WriteOut().
#include <algorithm>
#include <cstring>

#include "io/open_mode.h"
#include "io/posix_file.h"
#include "support/errors.h"

namespace vexa {
namespace {

constexpr int64_t kBlock = kTransformBlock;
// Whole blocks transformed and stored by one write call: a bound on the
// memory a write takes while it runs (the file keeps none), large enough to
// keep the calls per byte few.
constexpr size_t kPieceBytes = size_t{256} << 10;

// Whole blocks read and transformed back at a time: a run that stays in
// the cache between the two.
constexpr int64_t kReadRun = int64_t{256} << 10;

int64_t Down(int64_t position) { return position - position % kBlock; }
int64_t Up(int64_t position) { return Down(position + kBlock - 1); }

}  // namespace

bool VEXA_File::SetTransform(std::shared_ptr<BlockTransform> transform, bool fresh) {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0 || !transform) return false;
  DropTransformLocked();
  transform_ = std::move(transform);
  plain_size_ = 0;
  tail_stored_ = !fresh;
  try {
    if (!fresh && !LoadTailLocked()) {
      DropTransformLocked();
      return false;
    }
  } catch (...) {
    DropTransformLocked();
    throw;
  }
  position_ = ParseOpenMode(mode_).append ? plain_size_ : 0;
  return true;
}

void VEXA_File::Wipe(void* data, size_t size) {
  std::lock_guard<std::mutex> guard(lock_);
  if (transform_ && data != nullptr) transform_->Wipe(data, size);
}

void VEXA_File::DropTransformLocked() {
  if (!transform_) return;
  transform_->Wipe(tail_.data(), tail_.size());
  transform_.reset();
  plain_size_ = 0;
  tail_stored_ = true;
}

bool VEXA_File::LoadTailLocked() {
  const int64_t header = transform_->HeaderBytes();
  const int64_t body = StoredSizeLocked() - header;
  if (body < kBlock || body % kBlock != 0) return false;
  unsigned char block[kBlock];
  if (ReadAllLocked(reinterpret_cast<char*>(block), kBlock, header + body - kBlock) != kBlock) {
    return false;
  }
  if (!transform_->Decode(block, block, kBlock)) throw ErrorText(kErrReadFailed, path_);
  // Padding: 1 to 16 bytes, each holding their count.
  const unsigned pad = block[kBlock - 1];
  bool good = pad >= 1 && pad <= kBlock;
  for (size_t i = kBlock - pad; good && i < kBlock; ++i) good = block[i] == pad;
  if (good) {
    plain_size_ = body - pad;
    std::memcpy(tail_.data(), block, kBlock - pad);
    tail_stored_ = true;
  }
  transform_->Wipe(block, kBlock);
  return good;
}

void VEXA_File::LoadBlockLocked(int64_t position, unsigned char* block, long error) {
  if (ReadAllLocked(reinterpret_cast<char*>(block), kBlock,
                    transform_->HeaderBytes() + position) != kBlock ||
      !transform_->Decode(block, block, kBlock)) {
    ok_ = false;
    throw ErrorText(error, path_);  // the stored file shrank under us
  }
}

size_t VEXA_File::ReadPlain(std::unique_lock<std::mutex>& guard, void* dest, size_t size,
                            int64_t position) {
  auto* out = static_cast<unsigned char*>(dest);
  const int64_t end = std::min(position + static_cast<int64_t>(size), plain_size_);
  if (end < position + static_cast<int64_t>(size)) eof_ = true;
  if (end <= position) {
    position_ = position;
    return 0;
  }
  const int64_t header = transform_->HeaderBytes();
  const int64_t last = Down(plain_size_);
  const int64_t stored_end = std::min(end, last);
  // Stored: whole blocks read straight into `dest`, and the edge blocks
  // that it holds in part into blocks of their own.
  unsigned char head[kBlock], foot[kBlock];
  int64_t head_at = -1, foot_at = -1, whole_from = 0, whole_to = 0;
  const auto read = [&](unsigned char* to, int64_t from, int64_t count) {
    if (ReadAllLocked(reinterpret_cast<char*>(to), static_cast<size_t>(count), header + from) !=
        static_cast<size_t>(count)) {
      ok_ = false;
      throw ErrorText(kErrReadFailed, path_);
    }
  };
  if (position < stored_end) {
    whole_from = Up(position);
    whole_to = Down(stored_end);
    if (whole_from > whole_to) {
      head_at = Down(position);
      whole_from = whole_to = 0;
    } else {
      if (whole_from > position) head_at = whole_from - kBlock;
      if (whole_to < stored_end) foot_at = whole_to;
    }
    if (head_at >= 0) read(head, head_at, kBlock);
    if (foot_at >= 0) read(foot, foot_at, kBlock);
  }
  // The last block is in memory.
  if (end > last) {
    const int64_t from = std::max(position, last);
    std::memcpy(out + (from - position), tail_.data() + (from - last),
                static_cast<size_t>(end - from));
  }
  position_ = end;
  // Transformed back outside the lock, so that the read-ahead worker and
  // the caller decode side by side; the whole blocks a run at a time, each
  // while it is still in the cache from its read.
  const std::shared_ptr<BlockTransform> transform = transform_;
  guard.unlock();
  bool ok = true;
  for (int64_t at = whole_from; ok && at < whole_to; at += kReadRun) {
    const int64_t n = std::min(whole_to - at, kReadRun);
    unsigned char* run = out + (at - position);
    guard.lock();
    read(run, at, n);
    guard.unlock();
    ok = transform->Decode(run, run, static_cast<size_t>(n));
  }
  if (head_at >= 0) {
    ok = transform->Decode(head, head, kBlock) && ok;
    std::memcpy(out, head + (position - head_at),
                static_cast<size_t>(std::min(head_at + kBlock, stored_end) - position));
  }
  if (foot_at >= 0) {
    ok = transform->Decode(foot, foot, kBlock) && ok;
    std::memcpy(out + (foot_at - position), foot, static_cast<size_t>(stored_end - foot_at));
  }
  transform->Wipe(head, kBlock);
  transform->Wipe(foot, kBlock);
  if (!ok) {
    guard.lock();
    ok_ = false;
    throw ErrorText(kErrReadFailed, path_);
  }
  return static_cast<size_t>(end - position);
}

void VEXA_File::WritePlainLocked(const unsigned char* src, size_t size, int64_t position) {
  const int64_t header = transform_->HeaderBytes();
  const int64_t old_size = plain_size_, old_last = Down(old_size);
  const int64_t write_end = position + static_cast<int64_t>(size);
  const int64_t new_size = std::max(old_size, write_end);
  const int64_t new_last = Down(new_size);
  // The blocks that change: from the one that holds the write's start (or
  // the file's end, when the write starts beyond it: zeros fill the gap)
  // to the one that holds its end.
  const int64_t from = Down(std::min(position, old_size));
  const int64_t to = std::max(Up(write_end), from + kBlock);
  const int64_t final_at = to - kBlock;
  // The old plain bytes of the edge blocks the write covers in part.
  unsigned char first[kBlock] = {}, final[kBlock] = {};
  const auto old_block = [&](int64_t at, unsigned char* block) {
    if (at < old_last) {
      LoadBlockLocked(at, block, kErrWriteFailed);
    } else if (at == old_last) {
      std::memcpy(block, tail_.data(), static_cast<size_t>(old_size - old_last));
    }
  };
  const auto piece_bytes = static_cast<size_t>(std::min<int64_t>(to - from, kPieceBytes));
  const std::unique_ptr<unsigned char[]> pieces(new unsigned char[piece_bytes]);
  unsigned char* piece = pieces.get();
  try {
    if (position > from || write_end < from + kBlock) old_block(from, first);
    if (final_at != from && write_end < to) old_block(final_at, final);
    for (int64_t at = from; at < to; at += static_cast<int64_t>(kPieceBytes)) {
      const int64_t piece_end = std::min(to, at + static_cast<int64_t>(kPieceBytes));
      std::memset(piece, 0, static_cast<size_t>(piece_end - at));
      if (at == from) std::memcpy(piece, first, kBlock);
      if (final_at != from && final_at >= at && final_at < piece_end) {
        std::memcpy(piece + (final_at - at), final, kBlock);
      }
      const int64_t a = std::max(at, position), b = std::min(piece_end, write_end);
      if (a < b) {
        if (src != nullptr) {
          std::memcpy(piece + (a - at), src + (a - position), static_cast<size_t>(b - a));
        } else {
          std::memset(piece + (a - at), 0, static_cast<size_t>(b - a));
        }
      }
      // The new last block stays in memory; the whole blocks are stored.
      if (piece_end > new_last) {
        std::memcpy(tail_.data(), piece + (new_last - at), static_cast<size_t>(new_size - new_last));
      }
      const int64_t whole_end = std::min(piece_end, new_last);
      if (whole_end > at) {
        const auto n = static_cast<size_t>(whole_end - at);
        if (!transform_->Encode(piece, piece, n)) {
          ok_ = false;
          throw ErrorText(kErrWriteFailed, path_);
        }
        StoreLocked(piece, n, header + at);
      }
    }
  } catch (...) {
    transform_->Wipe(first, kBlock);
    transform_->Wipe(final, kBlock);
    transform_->Wipe(piece, piece_bytes);
    throw;
  }
  transform_->Wipe(first, kBlock);
  transform_->Wipe(final, kBlock);
  transform_->Wipe(piece, piece_bytes);
  if (new_size != old_size || to > new_last) tail_stored_ = false;
  plain_size_ = new_size;
}

void VEXA_File::TruncatePlainLocked(int64_t size) {
  if (size < 0) {
    ok_ = false;
    throw ErrorText(kErrWriteFailed, path_);
  }
  if (size >= plain_size_) {
    if (size > plain_size_) WritePlainLocked(nullptr, 0, size);
    return;
  }
  const int64_t last = Down(size);
  unsigned char block[kBlock] = {};
  if (last < Down(plain_size_)) {
    LoadBlockLocked(last, block, kErrWriteFailed);
  } else {
    std::memcpy(block, tail_.data(), kBlock);
  }
  std::memcpy(tail_.data(), block, static_cast<size_t>(size - last));
  transform_->Wipe(block, kBlock);
  CutLocked(transform_->HeaderBytes() + last);
  plain_size_ = size;
  tail_stored_ = false;
}

bool VEXA_File::WriteOutLocked() {
  if (!transform_ || tail_stored_ || fd_ < 0) return true;
  const int64_t last = Down(plain_size_);
  const auto kept = static_cast<size_t>(plain_size_ - last);
  const auto pad = static_cast<unsigned char>(kBlock - static_cast<int64_t>(kept));
  unsigned char block[kBlock];
  std::memcpy(block, tail_.data(), kept);
  std::memset(block + kept, pad, pad);
  bool ok = transform_->Encode(block, block, kBlock);
  try {
    if (ok) StoreLocked(block, kBlock, transform_->HeaderBytes() + last);
  } catch (const ErrorText&) {
    ok = false;
  }
  transform_->Wipe(block, kBlock);
  tail_stored_ = ok;
  return ok;
}

}  // namespace vexa
