// VEXA_FileStream: the buffered stream over one VEXA_File. One buffer of
// kBlockSize bytes; refills start at multiples of 512; requests of a whole
// buffer or more bypass the buffer in both directions.
#pragma once

#include <memory>
#include <string>

#include "support/ref_counted.h"
#include "io/posix_file.h"
#include "io/stream.h"
#include "io/write_behind.h"
#include "support/large_buffer.h"

namespace vexa {

constexpr size_t kBlockSize = 4190208;  // 0x3FF000

class VEXA_FileStream : public VEXA_StrBaseIO {
 public:
  // REQUIRES: buffer_size is a positive multiple of 512 (tests use small
  // buffers so that reads cross buffer edges).
  explicit VEXA_FileStream(size_t buffer_size = kBlockSize);
  ~VEXA_FileStream() override;

  // Opens the file with a mode text of VEXA_File; a mode with "a" starts at
  // the end of the file. A failed open leaves the stream without a file: its
  // reads and writes return 0 and its seeks -1.
  bool Open(const std::string& path, const std::string& mode);
  bool IsOpen() const;
  // From now on the open file is seen through `transform` (a protected
  // file, io/block_transform.h): positions, sizes and bytes are those of
  // the plain file inside, and the buffers that held its bytes are wiped
  // when they go. False when the file's bytes do not fit the transform
  // (VEXA_File::SetTransform); raises its failure.
  bool SeeThrough(std::shared_ptr<BlockTransform> transform, bool fresh);
  // Writes out a dirty buffer (and a protected file's last block) and lets
  // go of the file; raises the failure of that write, the file let go.
  void Close() override;

  size_t Read(void* dest, size_t size) override;
  size_t Write(const void* src, size_t size) override;
  // The buffer lent from its valid end when that is the position, else
  // from the position after writing out what it held; a full buffer is
  // written out (behind the caller) at CommitSpace.
  char* WriteSpace(size_t least, size_t* room) override;
  void CommitSpace(size_t used) override;
  int64_t Seek(int64_t offset, int whence) override;
  int64_t Tell() const override { return position_; }
  int64_t Size() override;
  void Flush() override;
  // Turning buffering off writes out and releases the buffer.
  void SetBuffered(bool buffered) override;
  // Writes out a dirty buffer first; null while no file is open or the
  // process-wide read-ahead flag is clear.
  std::unique_ptr<ReadAhead> CreateReadAhead(size_t capacity,
                                             size_t headroom) override;
  // Stays synchronous when no worker can be started.
  void EnableWriteBehind() override;
  // For a file that is only read from now on: a file smaller than the
  // buffer needs no more buffer than it has bytes.
  void FitBufferToFile();
  const std::string& Path() const;
  // The file itself; its positional reads and writes serve the streams
  // layered over this one (the zlib stream) and their workers.
  RefPtr<VEXA_File> SharedFile() const override { return file_; }
  // Set by a read that reached the end of the file; cleared by a seek.
  bool Eof() const { return eof_; }
  size_t BufferSize() const { return buffer_size_; }
  // File position of the buffer's first byte, -1 when nothing is loaded.
  int64_t BufferStart() const { return buffer_pos_; }

 private:
  // The file is shared by the copies of a stream and never copied on write:
  // its operations are serialised by its own lock.
  VEXA_File& File() { return Use(file_); }
  // Lets the buffer go, wiped when it held a protected file's bytes.
  void ReleaseBuffer();
  // Sizes the buffer for a file of this size (-1: not known).
  void FitBuffer(int64_t file_size);
  // The buffer, allocated at its first use.
  char* Buffer();
  // Copies what the buffer holds at the position; returns the bytes copied.
  size_t CopyFromBuffer(char* dest, size_t size);
  // Writes out a dirty buffer, then fills the buffer from the position
  // rounded down to a multiple of 512; returns the bytes loaded.
  size_t LoadBuffer(int64_t position);
  // Writes out the full buffer: handed to the write-behind worker when
  // there is one (the stream goes on with a spare buffer), else at once.
  void WriteOutFull();
  // Waits for the write-behind worker's write; raises its failure.
  void Settle();

  RefPtr<VEXA_File> file_;
  size_t most_buffer_size_;
  size_t buffer_size_;  // smaller for a small file opened only for reading
  LargeBuffer buffer_;
  int64_t buffer_pos_ = -1;  // file position of buffer_[0], -1 when empty
  size_t buffer_end_ = 0;    // valid bytes in the buffer
  bool dirty_ = false;
  bool eof_ = false;
  int64_t position_ = 0;
  bool buffered_ = true;
  bool read_only_ = false;
  int64_t known_end_ = -1;  // the file's size, kept for read-only files
  // After file_, so that it ends first.
  std::unique_ptr<WriteBehind> behind_;
};

}  // namespace vexa
