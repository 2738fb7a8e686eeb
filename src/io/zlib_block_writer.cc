#include "io/zlib_block_writer.h"

#include <zlib.h>

#include "io/file_stream.h"
#include "support/errors.h"
#include "support/large_buffer.h"

namespace vexa {
namespace {

constexpr int kLevel = 1;

}  // namespace

struct ZlibBlockWriter::Slot {
  Slot() : input(NewLargeBuffer(kBlockSize)), output(NewLargeBuffer(MaxCompressedBlock())) {
    if (deflateInit(&z, kLevel) != Z_OK) throw std::bad_alloc();
  }
  ~Slot() { deflateEnd(&z); }
  LargeBuffer input;
  LargeBuffer output;
  z_stream z{};
  size_t size = 0;
  size_t compressed = 0;
  int64_t position = 0;
  uint64_t sequence = 0;
};

ZlibBlockWriter::ZlibBlockWriter(RefPtr<VEXA_File> file, ZlibBlockIndex& index,
                                 int64_t next_translated, int workers)
    : file_(std::move(file)),
      index_(index),
      free_count_(0),
      next_translated_(next_translated) {
  if (workers < 0) workers = 0;
  for (int i = 0; i <= workers; ++i) {
    slots_.push_back(std::make_unique<Slot>());
    free_.push_back(slots_.back().get());
    free_count_.Post();
  }
  if (workers > 0) {
    try {
      auto pool = std::make_unique<sfThreadPool>(workers);
      pool->Start();
      pool_ = std::move(pool);
    } catch (const sfThreadException&) {
      // No workers: the caller's thread compresses each block as it hands
      // it over; the bytes are the same.
    }
  }
}

ZlibBlockWriter::~ZlibBlockWriter() {
  Drain();
  pool_.reset();
  // A protected file's plain bytes do not outlive the writer.
  for (auto& s : slots_) {
    Use(file_).Wipe(s->input.get(), kBlockSize);
    Use(file_).Wipe(s->output.get(), MaxCompressedBlock());
  }
}

char* ZlibBlockWriter::Buffer() {
  if (current_ == nullptr) {
    free_count_.Wait();
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = free_.back();
    free_.pop_back();
  }
  return current_->input.get();
}

void ZlibBlockWriter::RaiseFailure() {
  std::exception_ptr failure;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failure = failure_;
  }
  if (failure) std::rethrow_exception(failure);
}

void ZlibBlockWriter::Submit(size_t size, int64_t position) {
  RaiseFailure();
  VEXA_ASSERT(size > 0 && size <= kBlockSize);
  Buffer();
  Slot* slot = current_;
  current_ = nullptr;
  slot->size = size;
  slot->position = position;
  slot->sequence = submitted_++;
  if (pool_) {
    pool_->Submit([this, slot] { Process(*slot); });
  } else {
    Process(*slot);
  }
  RaiseFailure();
}

void ZlibBlockWriter::Deflate(Slot& slot) {
  z_stream& z = slot.z;
  if (deflateReset(&z) != Z_OK) throw ErrorText(kErrWriteFailed, file_->Path());
  z.next_in = reinterpret_cast<Bytef*>(slot.input.get());
  z.avail_in = static_cast<uInt>(slot.size);
  z.next_out = reinterpret_cast<Bytef*>(slot.output.get());
  z.avail_out = static_cast<uInt>(MaxCompressedBlock());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) {
    throw ErrorText(kErrWriteFailed, file_->Path());
  }
  slot.compressed = static_cast<size_t>(z.total_out);
}

// Every path takes its turn and gives it on, and gives the slot back, so
// that a failure never leaves a later block or the caller waiting.
void ZlibBlockWriter::Process(Slot& slot) {
  bool failed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failed = failure_ != nullptr;
  }
  std::exception_ptr failure;
  if (!failed) {
    try {
      Deflate(slot);
    } catch (...) {
      failure = std::current_exception();
    }
  }
  std::unique_lock<std::mutex> lock(mutex_);
  turn_.wait(lock, [&] { return next_to_write_ == slot.sequence; });
  if (!failure && !failure_) {
    // Our turn: nobody else writes or moves next_translated_ until we give
    // the turn on.
    const int64_t at = next_translated_;
    lock.unlock();
    try {
      Use(file_).WriteAt(slot.output.get(), slot.compressed, at);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    if (!failure) {
      try {
        index_.Append({slot.position, at, static_cast<int32_t>(slot.size),
                       static_cast<int32_t>(slot.compressed)});
        next_translated_ = at + static_cast<int64_t>(slot.compressed);
      } catch (...) {
        failure = std::current_exception();
      }
    }
  }
  if (failure && !failure_) failure_ = failure;
  ++next_to_write_;
  free_.push_back(&slot);
  lock.unlock();
  turn_.notify_all();
  free_count_.Post();
}

void ZlibBlockWriter::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  turn_.wait(lock, [&] { return next_to_write_ == submitted_; });
}

int64_t ZlibBlockWriter::Finish() {
  Drain();
  if (pool_) pool_->StopAll();
  RaiseFailure();
  if (pool_) {
    // The backstop: a failure that escaped a task.
    if (std::exception_ptr escaped = pool_->Failure()) std::rethrow_exception(escaped);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return next_translated_;
}

}  // namespace vexa
