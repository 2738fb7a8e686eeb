// VEXA_File: one open file and positional I/O on it. The only place that
// calls open, pread, pwrite and close; reads and writes retry on EINTR and
// descriptors are opened O_CLOEXEC. Reference counted, so that the copies of
// a stream made for case iterators and the read-ahead worker share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "support/ref_counted.h"

namespace vexa {

class VEXA_File : public VEXA_RefCntObject {
 public:
  VEXA_File() = default;
  VEXA_File(const VEXA_File&) = delete;
  VEXA_File& operator=(const VEXA_File&) = delete;
  ~VEXA_File() override;

  // Opens `path` with a mode text ("r", "w", "a", "+", ...); an open file is
  // closed first. Returns false when the file cannot be opened.
  bool Open(const std::string& path, const std::string& mode);
  bool IsOpen() const { return fd_ >= 0; }
  // Raise ErrorText 1003 (read) or 1002 (write) naming the file on failure.
  size_t ReadAt(void* dest, size_t size, int64_t position);
  size_t WriteAt(const void* src, size_t size, int64_t position);
  int64_t FileSize();
  // Makes what was written durable; false on failure.
  bool Sync();
  // Cuts the file (or extends it with zeros) to `size` bytes. Raises
  // ErrorText 1002 on failure.
  void Truncate(int64_t size);
  void Close();
  const std::string& Path() const { return path_; }
  bool Eof() const { return eof_; }
  // False after a failed open, read or write.
  bool Ok() const { return ok_; }
  // The position after the last transfer; an append mode starts at the end.
  int64_t Position() const { return position_; }

 private:
  void CloseLocked();

  std::mutex lock_;
  std::string path_;
  std::string mode_;
  int fd_ = -1;
  bool ok_ = false;
  bool eof_ = false;
  bool delete_on_close_ = false;
  int64_t position_ = 0;
};

// The file behind a shared reference. A VEXA_File is shared by the streams
// over it and their workers and never copied on write: its operations are
// serialised by its own lock.
inline VEXA_File& Use(const RefPtr<VEXA_File>& file) {
  return const_cast<VEXA_File&>(*file);
}

// Filesystem queries for the open probes.
bool FileExists(const std::string& path);
bool FileReadable(const std::string& path);
bool RemoveFile(const std::string& path);
// Replaces `to` by `from` in one step.
bool RenameFile(const std::string& from, const std::string& to);

}  // namespace vexa
