#include "io/posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "support/errors.h"

namespace vexa {
namespace {

struct ModeFlags {
  int flags = 0;
  bool append = false;
  bool delete_on_close = false;
  bool exclusive = false;
  bool valid = false;
};

// The mode letters: "+" with "w" reads and writes, creating and truncating;
// "+" with "a" reads and writes, appending and creating; "+" alone reads and
// writes; "r" reads; "w" writes, creating and truncating; "a" writes,
// appending and creating. "t" and "T" change nothing here, "D" removes the
// file when it is closed, "x" creates a new file only (failing when the name
// exists) with owner-only permissions. Append modes start at the end of the file: the
// descriptor is not opened O_APPEND, because pwrite on such a descriptor
// ignores its position.
ModeFlags ParseMode(const std::string& mode) {
  auto has = [&](char c) { return mode.find(c) != std::string::npos; };
  ModeFlags m;
  m.valid = true;
  if (has('+')) {
    m.flags = O_RDWR;
    if (has('w')) {
      m.flags |= O_CREAT | O_TRUNC;
    } else if (has('a')) {
      m.flags |= O_CREAT;
      m.append = true;
    }
  } else if (has('r')) {
    m.flags = O_RDONLY;
  } else if (has('w')) {
    m.flags = O_WRONLY | O_CREAT | O_TRUNC;
  } else if (has('a')) {
    m.flags = O_WRONLY | O_CREAT;
    m.append = true;
  } else {
    m.valid = false;
  }
  m.delete_on_close = has('D');
  m.exclusive = has('x') && (m.flags & O_CREAT) != 0;
  if (m.exclusive) m.flags |= O_EXCL;
  return m;
}

}  // namespace

VEXA_File::~VEXA_File() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    if (delete_on_close_) ::unlink(path_.c_str());
  }
}

bool VEXA_File::Open(const std::string& path, const std::string& mode) {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ >= 0) CloseLocked();
  path_ = path;
  mode_ = mode;
  eof_ = false;
  ok_ = false;
  ModeFlags m = ParseMode(mode);
  if (!m.valid) return false;
  int fd;
  do {
    fd = ::open(path.c_str(), m.flags | O_CLOEXEC, m.exclusive ? 0600 : 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  fd_ = fd;
  ok_ = true;
  delete_on_close_ = m.delete_on_close;
  position_ = 0;
  if (m.append) {
    struct stat st;
    if (::fstat(fd_, &st) == 0) position_ = st.st_size;
  }
  return true;
}

size_t VEXA_File::ReadAt(void* dest, size_t size, int64_t position) {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0 || size == 0) return 0;
  if (position < 0) {
    ok_ = false;
    throw ErrorText(kErrReadFailed, path_);
  }
  char* out = static_cast<char*>(dest);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd_, out + done, size - done,
                        static_cast<off_t>(position + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      ok_ = false;
      throw ErrorText(kErrReadFailed, path_);
    }
    if (n == 0) {
      eof_ = true;
      break;
    }
    done += static_cast<size_t>(n);
  }
  position_ = position + static_cast<int64_t>(done);
  return done;
}

size_t VEXA_File::WriteAt(const void* src, size_t size, int64_t position) {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0 || size == 0) return 0;
  if (position < 0) {
    ok_ = false;
    throw ErrorText(kErrWriteFailed, path_);
  }
  const char* in = static_cast<const char*>(src);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd_, in + done, size - done,
                         static_cast<off_t>(position + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      ok_ = false;
      throw ErrorText(kErrWriteFailed, path_);
    }
    if (n == 0) {
      ok_ = false;
      throw ErrorText(kErrWriteFailed, path_);
    }
    done += static_cast<size_t>(n);
  }
  position_ = position + static_cast<int64_t>(done);
  return done;
}

int64_t VEXA_File::FileSize() {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0) return 0;
  struct stat st;
  if (::fstat(fd_, &st) != 0) throw ErrorText(kErrReadFailed, path_);
  return static_cast<int64_t>(st.st_size);
}

bool VEXA_File::Sync() {
  std::lock_guard<std::mutex> guard(lock_);
  return fd_ >= 0 && ::fsync(fd_) == 0;
}

void VEXA_File::Truncate(int64_t size) {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0) return;
  int rc;
  do {
    rc = ::ftruncate(fd_, static_cast<off_t>(size));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    ok_ = false;
    throw ErrorText(kErrWriteFailed, path_);
  }
}

void VEXA_File::Close() {
  std::lock_guard<std::mutex> guard(lock_);
  CloseLocked();
}

void VEXA_File::CloseLocked() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  ok_ = false;
  bool remove = delete_on_close_;
  delete_on_close_ = false;
  // A close interrupted by a signal has still released the descriptor on
  // Linux, so EINTR is not retried.
  int rc = ::close(fd);
  if (remove) ::unlink(path_.c_str());
  if (rc != 0 && errno != EINTR) throw ErrorText(kErrWriteFailed, path_);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool FileReadable(const std::string& path) {
  return ::access(path.c_str(), R_OK) == 0;
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace vexa
