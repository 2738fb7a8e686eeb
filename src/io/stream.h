// VEXA_StrBaseIO: the byte stream beneath every reader and writer. The plain
// buffered file stream implements it, and so will the zlib and encrypted
// streams layered over it; tests use an in-memory stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "io/posix_file.h"
#include "io/read_ahead.h"
#include "support/ref_counted.h"

namespace vexa {

class ZlibBlockIndex;

// Where a stream's data lies in zlib blocks: the block index and the
// logical position of the data's first byte.
struct ZlibBlockMap {
  const ZlibBlockIndex* index = nullptr;  // null: the data is not in blocks
  int64_t data_start = 0;
};

class VEXA_StrBaseIO {
 public:
  VEXA_StrBaseIO() = default;
  VEXA_StrBaseIO(const VEXA_StrBaseIO&) = delete;
  VEXA_StrBaseIO& operator=(const VEXA_StrBaseIO&) = delete;
  virtual ~VEXA_StrBaseIO() = default;

  // Reads up to size bytes at the position; fewer at the end of the data,
  // or before a part that cannot be read, whose failure the next read
  // raises: a short read is the end only when the next read gives 0.
  // Raises ErrorText(kErrReadFailed) when the file cannot be read.
  virtual size_t Read(void* dest, size_t size) = 0;
  // Writes size bytes at the position. Raises ErrorText(kErrWriteFailed) on
  // failure.
  virtual size_t Write(const void* src, size_t size) = 0;
  // Room for at least `least` bytes at the position in the stream's own
  // buffer, `*room` bytes of it, for a writer that builds its bytes in place
  // (the buffer before it written out when it has too little room left);
  // null when the stream lends no buffer, and the writer calls Write. Until
  // CommitSpace the stream is the writer's alone. Raises as Write does.
  virtual char* WriteSpace(size_t least, size_t* room) {
    (void)least;
    (void)room;
    return nullptr;
  }
  // The first `used` bytes of the room last lent are written: the position
  // moves past them.
  virtual void CommitSpace(size_t used) { (void)used; }
  // whence: SEEK_SET absolute, SEEK_CUR from the position, SEEK_END from the
  // end. Returns the new position, or -1 when no file is open.
  virtual int64_t Seek(int64_t offset, int whence) = 0;
  virtual int64_t Tell() const = 0;
  // The end of the data: the file size, or the end of unwritten bytes when
  // that is further.
  virtual int64_t Size() = 0;
  virtual void Flush() {}
  // Ends the stream's work with its file: a stream that still has to do
  // something with what was written (write it out, encrypt it) does it here
  // and raises its failure.
  virtual void Close() {}
  // Buffered (the default) or not: unbuffered, every read goes straight to
  // the file. Readers that keep a window of their own turn buffering off.
  virtual void SetBuffered(bool buffered) { (void)buffered; }
  // From now on full buffers are written by a worker while the caller
  // fills the next (io/write_behind.h); a failed write is raised at a
  // later write or flush. Nothing for streams without such a worker.
  virtual void EnableWriteBehind() {}
  // A read-ahead worker over the file beneath (io/read_ahead.h) for a
  // reader that keeps its own buffers of `capacity` bytes; null when the
  // stream has no file of its own or read-ahead is off.
  virtual std::unique_ptr<ReadAhead> CreateReadAhead(size_t capacity,
                                                     size_t headroom) {
    (void)capacity;
    (void)headroom;
    return nullptr;
  }

  // The file this stream reads and writes byte for byte, shared with the
  // streams layered over it (the zlib stream reads and writes its blocks
  // in it) and with whoever makes it durable or gives it its name; null
  // when the stream has no such file (it transforms the bytes, or holds
  // them in memory) or none is open.
  virtual RefPtr<VEXA_File> SharedFile() const { return {}; }
  // For a stream whose data lies in zlib blocks, their map; else a map
  // without an index.
  virtual ZlibBlockMap ZlibBlocks() const { return {}; }

  // Bytes left between the position and the end (0 when past the end).
  int64_t Remaining() {
    int64_t left = Size() - Tell();
    return left > 0 ? left : 0;
  }
};

}  // namespace vexa
