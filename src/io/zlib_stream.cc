#include "io/zlib_stream.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "io/file_stream.h"
#include "io/zlib_block_reader.h"
#include "io/zlib_block_writer.h"
#include "support/errors.h"

namespace vexa {
namespace {

std::atomic<int> g_worker_count{-1};

}  // namespace

int zcmpsFilestr::WorkerCount() {
  const int set = g_worker_count.load(std::memory_order_relaxed);
  if (set >= 0) return set;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min(cores, 16u));
}

void zcmpsFilestr::SetWorkerCount(int workers) {
  g_worker_count.store(workers < 0 ? -1 : workers, std::memory_order_relaxed);
}

zcmpsFilestr::zcmpsFilestr(RefPtr<VEXA_File> file, int workers)
    : file_(std::move(file)), workers_(workers < 0 ? WorkerCount() : workers) {
  VEXA_ASSERT(file_.IsValid());
}

zcmpsFilestr::~zcmpsFilestr() {
  // The workers end first; the blocks they hold go nowhere.
  writer_.reset();
  reader_.reset();
}

void zcmpsFilestr::BeginReading(int64_t case_start, bool swap) {
  VEXA_ASSERT(mode_ == Mode::kNone);
  VEXA_File& file = Use(file_);
  const int64_t file_size = file.FileSize();
  char head[kZlibHeaderSize];
  if (case_start < 0 || file.ReadAt(head, sizeof head, case_start) != sizeof head) {
    ThrowFileError(kErrTruncated,
                   "the file ends inside the zlib header at position {}",
                   case_start);
  }
  const ZlibHeader header = ParseZlibHeader(head, swap);
  if (header.header_offset != case_start) {
    ThrowFileError(kErrBadStructure,
                   "the zlib header gives its position as {} where it is at {}",
                   header.header_offset, case_start);
  }
  const int64_t blocks_start = case_start + static_cast<int64_t>(kZlibHeaderSize);
  if (header.trailer_offset < blocks_start || header.trailer_length < 0 ||
      header.trailer_offset > file_size ||
      header.trailer_length > file_size - header.trailer_offset) {
    ThrowFileError(kErrBadStructure,
                   "the zlib block index of {} bytes at position {} is not "
                   "within the file's case data ({} to {})",
                   header.trailer_length, header.trailer_offset, blocks_start,
                   file_size);
  }
  // Bounded by the file's size, checked above.
  std::vector<char> trailer(static_cast<size_t>(header.trailer_length));
  const size_t got = file.ReadAt(trailer.data(), trailer.size(), header.trailer_offset);
  if (got != trailer.size()) {
    ThrowFileError(kErrTruncated,
                   "the file ends inside the zlib block index, after {} of its "
                   "{} bytes",
                   got, trailer.size());
  }
  index_.Parse(trailer.data(), trailer.size(), swap, case_start,
               header.trailer_offset);
  case_start_ = case_start;
  position_ = case_start;
  reader_ = std::make_unique<ZlibBlockReader>(file_, index_, workers_);
  mode_ = Mode::kReading;
}

void zcmpsFilestr::BeginWriting(int64_t case_start) {
  VEXA_ASSERT(mode_ == Mode::kNone && case_start >= 0);
  case_start_ = case_start;
  position_ = case_start;
  buffer_pos_ = case_start;
  filled_ = 0;
  writer_ = std::make_unique<ZlibBlockWriter>(
      file_, index_, case_start + static_cast<int64_t>(kZlibHeaderSize), workers_);
  mode_ = Mode::kWriting;
}

void zcmpsFilestr::ReopenForAppending(int64_t end) {
  VEXA_ASSERT(mode_ == Mode::kReading);
  VEXA_ASSERT(end >= case_start_ && end <= index_.LogicalEnd(case_start_));
  int64_t next_translated = case_start_ + static_cast<int64_t>(kZlibHeaderSize);
  int64_t kept_from = end;
  std::vector<char> kept;
  block_size_ = static_cast<size_t>(index_.BlockSize());
  int64_t b = index_.Find(end);
  if (b < 0 && index_.Count() > 0 &&
      index_.At(index_.Count() - 1).original_size < index_.BlockSize()) {
    // The end of a partial last block: it is filled up.
    b = index_.Count() - 1;
  }
  if (b >= 0) {
    // The block that holds the end is written again, with its first bytes
    // and what is added; the blocks after it (if any) are dropped.
    const ZlibBlock block = index_.At(b);
    const char* data = reader_->Load(b);
    kept.assign(data, data + (end - block.original_pos));
    kept_from = block.original_pos;
    next_translated = block.translated_pos;
    index_.Truncate(b);
  } else if (index_.Count() > 0) {
    next_translated = index_.At(index_.Count() - 1).TranslatedEnd();
  }
  reader_.reset();
  block_ = -1;
  block_data_ = nullptr;
  writer_ = std::make_unique<ZlibBlockWriter>(file_, index_, next_translated, workers_);
  buffer_pos_ = kept_from;
  filled_ = kept.size();
  if (filled_ > 0) {
    buffer_ = writer_->Buffer();
    std::memcpy(buffer_, kept.data(), filled_);
  }
  position_ = end;
  mode_ = Mode::kWriting;
}

void zcmpsFilestr::Close() {
  const Mode mode = mode_;
  mode_ = Mode::kClosed;
  reader_.reset();
  if (mode != Mode::kWriting) return;
  std::unique_ptr<ZlibBlockWriter> writer = std::move(writer_);
  if (filled_ > 0) {
    writer->Submit(filled_, buffer_pos_);
    buffer_pos_ += static_cast<int64_t>(filled_);
    filled_ = 0;
    buffer_ = nullptr;
  }
  const int64_t trailer_offset = writer->Finish();
  writer.reset();
  const std::string trailer = index_.Serialize();
  const std::string header = SerializeZlibHeader(
      {case_start_, trailer_offset, static_cast<int64_t>(trailer.size())});
  VEXA_File& file = Use(file_);
  file.WriteAt(trailer.data(), trailer.size(), trailer_offset);
  file.WriteAt(header.data(), header.size(), case_start_);
  // The index is the last thing in the file, also when a block written
  // again by an append came out shorter than before.
  file.Truncate(trailer_offset + static_cast<int64_t>(trailer.size()));
}

size_t zcmpsFilestr::Read(void* dest, size_t size) {
  if (mode_ != Mode::kReading) return 0;
  char* out = static_cast<char*>(dest);
  size_t done = 0;
  while (done < size) {
    if (block_ < 0 || position_ < index_.At(block_).original_pos ||
        position_ >= index_.At(block_).OriginalEnd()) {
      const int64_t b = index_.Find(position_);
      if (b < 0) break;
      block_ = -1;
      if (done == 0) {
        block_data_ = reader_->Load(b);
      } else {
        // The bytes before a block that cannot be read are delivered; the
        // next read, which starts at that block, raises its failure.
        try {
          block_data_ = reader_->Load(b);
        } catch (const std::exception&) {
          break;
        }
      }
      block_ = b;
    }
    const ZlibBlock& block = index_.At(block_);
    const int64_t offset = position_ - block.original_pos;
    const size_t n = static_cast<size_t>(
        std::min<int64_t>(static_cast<int64_t>(size - done), block.original_size - offset));
    std::memcpy(out + done, block_data_ + offset, n);
    done += n;
    position_ += static_cast<int64_t>(n);
  }
  return done;
}

size_t zcmpsFilestr::Write(const void* src, size_t size) {
  if (mode_ != Mode::kWriting || size == 0) return 0;
  VEXA_ASSERT(position_ == buffer_pos_ + static_cast<int64_t>(filled_));
  const char* in = static_cast<const char*>(src);
  size_t done = 0;
  while (done < size) {
    if (buffer_ == nullptr) buffer_ = writer_->Buffer();
    const size_t n = std::min(size - done, block_size_ - filled_);
    std::memcpy(buffer_ + filled_, in + done, n);
    filled_ += n;
    done += n;
    position_ += static_cast<int64_t>(n);
    if (filled_ == block_size_) {
      buffer_ = nullptr;
      const int64_t at = buffer_pos_;
      buffer_pos_ += static_cast<int64_t>(block_size_);
      filled_ = 0;
      writer_->Submit(block_size_, at);
    }
  }
  return done;
}

int64_t zcmpsFilestr::Size() {
  if (mode_ == Mode::kWriting) return buffer_pos_ + static_cast<int64_t>(filled_);
  return index_.LogicalEnd(case_start_);
}

int64_t zcmpsFilestr::Seek(int64_t offset, int whence) {
  int64_t target = offset;
  if (whence == SEEK_CUR) target = position_ + offset;
  if (whence == SEEK_END) target = Size() + offset;
  if (target < 0) return -1;
  // Writing is sequential: the only position is the end.
  if (mode_ == Mode::kWriting && target != Size()) return -1;
  position_ = target;
  return position_;
}

}  // namespace vexa
