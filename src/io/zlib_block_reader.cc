#include "io/zlib_block_reader.h"

#include <zlib.h>

#include <algorithm>
#include <exception>

#include "support/errors.h"
#include "support/large_buffer.h"

namespace vexa {

struct ZlibBlockReader::Slot {
  Slot() {
    if (inflateInit(&z) != Z_OK) throw std::bad_alloc();
  }
  ~Slot() { inflateEnd(&z); }
  enum State { kIdle, kPending, kReady };
  // Allocated at the first use, at the largest sizes of the index's blocks.
  LargeBuffer data;
  LargeBuffer compressed;
  z_stream z{};
  int64_t block = -1;
  State state = kIdle;
  std::exception_ptr failure;
};

ZlibBlockReader::ZlibBlockReader(RefPtr<VEXA_File> file,
                                 const ZlibBlockIndex& index, int workers)
    : file_(std::move(file)), index_(index), workers_(workers > 0 ? workers : 0) {
  // No more slots than blocks to put in them.
  const int64_t slots = std::min<int64_t>(workers_ + 1, std::max<int64_t>(index.Count(), 1));
  // A slot holds any block of this file, and no more: a small file's
  // reader does not pay for the room of a whole block.
  for (int64_t b = 0; b < index.Count(); ++b) {
    data_bytes_ = std::max(data_bytes_, static_cast<size_t>(index.At(b).original_size));
    compressed_bytes_ = std::max(compressed_bytes_, static_cast<size_t>(index.At(b).translated_size));
  }
  for (int64_t i = 0; i < slots; ++i) slots_.push_back(std::make_unique<Slot>());
  if (slots < workers_ + 1) workers_ = static_cast<int>(slots) - 1;
}

ZlibBlockReader::~ZlibBlockReader() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    inflated_.wait(lock, [this] {
      for (auto& s : slots_) {
        if (s->state == Slot::kPending) return false;
      }
      return true;
    });
  }
  pool_.reset();
  // A protected file's plain bytes do not outlive the reader.
  for (auto& s : slots_) {
    if (s->data) Use(file_).Wipe(s->data.get(), data_bytes_);
    if (s->compressed) Use(file_).Wipe(s->compressed.get(), compressed_bytes_);
  }
}

void ZlibBlockReader::Inflate(Slot& slot) {
  const ZlibBlock& b = index_.At(slot.block);
  if (!slot.data) slot.data = NewLargeBuffer(data_bytes_);
  if (!slot.compressed) slot.compressed = NewLargeBuffer(compressed_bytes_);
  const size_t size = static_cast<size_t>(b.translated_size);
  const size_t got = Use(file_).ReadAt(slot.compressed.get(), size, b.translated_pos);
  if (got != size) {
    ThrowFileError(kErrTruncated,
                   "the file ends inside zlib block {}, after {} of its {} "
                   "bytes at file position {}",
                   slot.block, got, size, b.translated_pos);
  }
  z_stream& z = slot.z;
  if (inflateReset(&z) != Z_OK) throw std::bad_alloc();
  z.next_in = reinterpret_cast<Bytef*>(slot.compressed.get());
  z.avail_in = static_cast<uInt>(size);
  z.next_out = reinterpret_cast<Bytef*>(slot.data.get());
  z.avail_out = static_cast<uInt>(b.original_size);
  const int rc = inflate(&z, Z_FINISH);
  if (rc != Z_STREAM_END || z.total_out != static_cast<uLong>(b.original_size)) {
    ThrowFileError(kErrBadStructure,
                   "zlib block {} at file position {} does not inflate to its "
                   "{} bytes ({} after {})",
                   slot.block, b.translated_pos, b.original_size,
                   rc == Z_STREAM_END || rc == Z_BUF_ERROR ? "it holds other data"
                                                            : "it is damaged",
                   static_cast<int64_t>(z.total_out));
  }
}

void ZlibBlockReader::InflateAhead(Slot& slot) {
  std::exception_ptr failure;
  try {
    Inflate(slot);
  } catch (...) {
    failure = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slot.failure = failure;
    slot.state = Slot::kReady;
  }
  inflated_.notify_all();
}

ZlibBlockReader::Slot* ZlibBlockReader::IdleSlot(
    bool wait, std::unique_lock<std::mutex>& lock) {
  for (;;) {
    for (auto& s : slots_) {
      if (s.get() != current_ && s->state != Slot::kPending) return s.get();
    }
    if (!wait) return nullptr;
    inflated_.wait(lock);
  }
}

void ZlibBlockReader::InflateAheadFrom(int64_t b, std::unique_lock<std::mutex>& lock) {
  for (int64_t next = b + 1; next <= b + workers_ && next < index_.Count(); ++next) {
    bool held = false;
    for (auto& s : slots_) {
      if (s->block == next && s->state != Slot::kIdle) held = true;
    }
    if (held) continue;
    Slot* ahead = IdleSlot(false, lock);
    if (ahead == nullptr) break;
    ahead->block = next;
    ahead->state = Slot::kPending;
    ahead->failure = nullptr;
    if (!pool_) {
      lock.unlock();
      pool_ = std::make_unique<sfThreadPool>(workers_);
      try {
        pool_->Start();
      } catch (...) {
        // Without workers every block is inflated by the caller.
        pool_.reset();
        workers_ = 0;
        lock.lock();
        ahead->state = Slot::kIdle;
        ahead->block = -1;
        break;
      }
      lock.lock();
    }
    try {
      pool_->Submit([this, ahead] { InflateAhead(*ahead); });
    } catch (...) {
      ahead->state = Slot::kIdle;
      ahead->block = -1;
      break;
    }
  }
}

const char* ZlibBlockReader::Load(int64_t b) {
  VEXA_ASSERT(b >= 0 && b < index_.Count());
  const bool sequential = b == last_loaded_ + 1;
  last_loaded_ = b;
  std::unique_lock<std::mutex> lock(mutex_);
  Slot* slot = nullptr;
  for (auto& s : slots_) {
    if (s->block == b && s->state != Slot::kIdle) slot = s.get();
  }
  if (slot != nullptr) {
    inflated_.wait(lock, [&] { return slot->state != Slot::kPending; });
    current_ = slot;
    if (std::exception_ptr failure = slot->failure) {
      // Tried again at the next load of this block.
      slot->state = Slot::kIdle;
      slot->failure = nullptr;
      std::rethrow_exception(failure);
    }
  } else {
    // The block loaded before may make room for this one.
    current_ = nullptr;
    slot = IdleSlot(true, lock);
    current_ = slot;
    slot->block = b;
    slot->state = Slot::kIdle;
    // The workers start on the next blocks while this one is inflated here.
    if (sequential && workers_ > 0) InflateAheadFrom(b, lock);
    lock.unlock();
    Inflate(*slot);
    lock.lock();
    slot->state = Slot::kReady;
    return slot->data.get();
  }
  if (sequential && workers_ > 0) InflateAheadFrom(b, lock);
  return slot->data.get();
}

}  // namespace vexa
