#include "io/posix_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/open_mode.h"
#include "io/sys_calls.h"
#include "support/errors.h"
#ifdef VEXA_FAULT_INJECTION
#include "io/fault_injection.h"
#endif

namespace vexa {
namespace {

// The system calls on files and names. In the test build of the core each
// one first asks the fault injector whether it is the call that is to fail
// (io/fault_injection.h); in the shipped library they are the calls
// themselves.
#ifdef VEXA_FAULT_INJECTION
// The fault for this call, with errno set when it is to fail.
fault::Fault Inject(const fault::Call& call) {
  const fault::Fault f = fault::Next(call);
  if (f.error != 0) errno = f.error;
  return f;
}
#define VEXA_FAIL_IF_INJECTED(op) \
  if (Inject({fault::Op::op}).error != 0) return -1
// The same, telling the fault layer what the call is on: the Call fields
// after the operation (descriptor, path, flags, position, size).
#define VEXA_FAIL_IF_INJECTED_ON(op, ...) \
  if (Inject({fault::Op::op, __VA_ARGS__}).error != 0) return -1
// A read or write: an injected failure, or a short transfer that moves half
// the bytes.
#define VEXA_FAIL_OR_SHORTEN_IF_INJECTED(op, fd, at, size)                    \
  if (const fault::Fault f = Inject({fault::Op::op, (fd), nullptr, 0, (at),    \
                                     static_cast<int64_t>(size)});           \
      f.error != 0) {                                                         \
    return -1;                                                                \
  } else if (f.shorten && (size) > 1) {                                       \
    (size) /= 2;                                                              \
  }
#else
#define VEXA_FAIL_IF_INJECTED(op)
#define VEXA_FAIL_IF_INJECTED_ON(op, ...)
#define VEXA_FAIL_OR_SHORTEN_IF_INJECTED(op, fd, at, size)
#endif

}  // namespace

namespace sys {

int Open(const char* path, int flags, mode_t mode) {
  VEXA_FAIL_IF_INJECTED_ON(kOpen, -1, path, flags);
  return ::open(path, flags, mode);
}

ssize_t Pread(int fd, void* dest, size_t size, off_t at) {
  VEXA_FAIL_OR_SHORTEN_IF_INJECTED(kRead, fd, at, size);
  return ::pread(fd, dest, size, at);
}

ssize_t Pwrite(int fd, const void* src, size_t size, off_t at) {
  VEXA_FAIL_OR_SHORTEN_IF_INJECTED(kWrite, fd, at, size);
  return ::pwrite(fd, src, size, at);
}

int OpenRetrying(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = Open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int OpenAt(int dir, const char* name, int flags, mode_t mode) {
  VEXA_FAIL_IF_INJECTED_ON(kOpen, dir, name, flags);
  return ::openat(dir, name, flags, mode);
}

int Fstat(int fd, struct stat* st) {
  VEXA_FAIL_IF_INJECTED(kSize);
  return ::fstat(fd, st);
}

int Fstatx(int fd, unsigned int mask, struct statx* st) {
  VEXA_FAIL_IF_INJECTED_ON(kSize, fd);
  return ::statx(fd, "", AT_EMPTY_PATH, mask, st);
}

int Fsync(int fd) {
  VEXA_FAIL_IF_INJECTED_ON(kSync, fd);
  return ::fsync(fd);
}

int Ftruncate(int fd, off_t size) {
  VEXA_FAIL_IF_INJECTED_ON(kTruncate, fd, nullptr, 0, 0, size);
  return ::ftruncate(fd, size);
}

// The descriptor is released even when close reports a failure, so an
// injected failure releases it too.
int Close(int fd) {
  const int rc = ::close(fd);
#ifdef VEXA_FAULT_INJECTION
  if (Inject({fault::Op::kClose, fd}).error != 0) return -1;
#endif
  return rc;
}

int Link(const char* from, const char* to) {
  VEXA_FAIL_IF_INJECTED_ON(kRename, -1, from);
  return ::linkat(AT_FDCWD, from, AT_FDCWD, to, AT_SYMLINK_FOLLOW);
}

int Unlink(const char* path) {
  VEXA_FAIL_IF_INJECTED_ON(kRemove, -1, path);
  return ::unlink(path);
}

int Rename(const char* from, const char* to) {
  VEXA_FAIL_IF_INJECTED_ON(kRename, -1, from);
  return ::rename(from, to);
}

int UnlinkAt(int dir, const char* name, int flags) {
  VEXA_FAIL_IF_INJECTED_ON(kRemove, dir, name);
  return ::unlinkat(dir, name, flags);
}

int MakeDirectoryAt(int dir, const char* name, mode_t mode) {
  VEXA_FAIL_IF_INJECTED_ON(kMakeDirectory, dir, name);
  return ::mkdirat(dir, name, mode);
}

int Stat(const char* path, struct stat* st) {
  VEXA_FAIL_IF_INJECTED(kQuery);
  return ::stat(path, st);
}

int Lstat(const char* path, struct stat* st) {
  VEXA_FAIL_IF_INJECTED(kQuery);
  return ::lstat(path, st);
}

int StatAt(int dir, const char* name, struct stat* st, int flags) {
  VEXA_FAIL_IF_INJECTED_ON(kQuery, dir);
  return ::fstatat(dir, name, st, flags);
}

int Access(const char* path, int how) {
  VEXA_FAIL_IF_INJECTED(kQuery);
  return ::access(path, how);
}

char* Realpath(const char* path, char* resolved) {
#ifdef VEXA_FAULT_INJECTION
  if (Inject({fault::Op::kQuery}).error != 0) return nullptr;
#endif
  return ::realpath(path, resolved);
}

int ListDirectory(int dir, std::vector<std::string>* names) {
  VEXA_FAIL_IF_INJECTED_ON(kQuery, dir);
  const int listing_fd = ::dup(dir);
  if (listing_fd < 0) return -1;
  DIR* listing = ::fdopendir(listing_fd);
  if (listing == nullptr) {
    ::close(listing_fd);
    return -1;
  }
  while (const dirent* entry = ::readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      names->emplace_back(entry->d_name);
    }
  }
  ::closedir(listing);
  return 0;
}

int Fchmod(int fd, mode_t mode) {
  VEXA_FAIL_IF_INJECTED_ON(kAttributes, fd);
  return ::fchmod(fd, mode);
}

int Fchown(int fd, uid_t owner, gid_t group) {
  VEXA_FAIL_IF_INJECTED_ON(kAttributes, fd);
  return ::fchown(fd, owner, group);
}

ssize_t ListAttributes(const char* path, char* names, size_t size) {
  VEXA_FAIL_IF_INJECTED_ON(kQuery, -1, path);
  return ::listxattr(path, names, size);
}

ssize_t GetAttribute(const char* path, const char* name, void* value, size_t size) {
  VEXA_FAIL_IF_INJECTED_ON(kQuery, -1, path);
  return ::getxattr(path, name, value, size);
}

int SetAttribute(int fd, const char* name, const void* value, size_t size) {
  VEXA_FAIL_IF_INJECTED_ON(kAttributes, fd);
  return ::fsetxattr(fd, name, value, size, 0);
}

// Neither fails in a way a test would want to arrange: not counted.
bool ProcessMayExist(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }
pid_t ProcessId() { return ::getpid(); }
uid_t EffectiveUser() { return ::geteuid(); }

int LockWholeFile(int fd, short type) {
  VEXA_FAIL_IF_INJECTED_ON(kLock, fd);
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
#ifdef F_OFD_SETLK
  return ::fcntl(fd, F_OFD_SETLK, &lock);
#else
  return ::fcntl(fd, F_SETLK, &lock);  // held by the process instead
#endif
}

}  // namespace sys

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

// The name under which an open descriptor can be linked into a directory.
std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// The open(2) flags of a mode. Append modes start at the end of the file:
// the descriptor is not opened O_APPEND, because pwrite on such a
// descriptor ignores its position.
int OpenFlags(const OpenMode& m) {
  int flags = m.reads && m.writes ? O_RDWR : m.writes ? O_WRONLY : O_RDONLY;
  if (m.create) flags |= O_CREAT;
  if (m.truncate) flags |= O_TRUNC;
  if (m.new_only) flags |= O_EXCL;
  return flags;
}

}  // namespace

VEXA_File::~VEXA_File() {
  if (fd_ >= 0) {
    RollbackLocked();  // a change never committed
    sys::Close(fd_);
    fd_ = -1;
    if (delete_on_close_) sys::Unlink(path_.c_str());
  }
  DropTransformLocked();
}

bool VEXA_File::Open(const std::string& path, const std::string& mode) {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ >= 0) CloseLocked();
  DropTransformLocked();
  path_ = path;
  mode_ = mode;
  eof_ = false;
  ok_ = false;
  const OpenMode m = ParseOpenMode(mode);
  if (!m.valid) return false;
  int fd = -1;
  if (m.unnamed) {
#ifdef O_TMPFILE
    const std::string dir = DirectoryOf(path);
    fd = sys::OpenRetrying(dir.c_str(), O_TMPFILE | O_RDWR, m.exclusive ? 0600 : 0666);
    // Without /proc it could never be named.
    if (fd >= 0 && sys::Access(DescriptorPath(fd).c_str(), F_OK) != 0) {
      sys::Close(fd);
      fd = -1;
    }
#endif
  } else {
    fd = sys::OpenRetrying(path.c_str(), OpenFlags(m), m.exclusive ? 0600 : 0666);
  }
  if (fd < 0) return false;
  fd_ = fd;
  ok_ = true;
  delete_on_close_ = m.delete_on_close;
  position_ = 0;
  undo_size_ = -1;
  undo_.clear();
  if (m.append) {
    struct stat st;
    if (sys::Fstat(fd_, &st) == 0) position_ = st.st_size;
  }
  return true;
}

size_t VEXA_File::ReadAt(void* dest, size_t size, int64_t position) {
  std::unique_lock<std::mutex> guard(lock_);
  if (fd_ < 0 || size == 0) return 0;
  if (position < 0) {
    ok_ = false;
    throw ErrorText(kErrReadFailed, path_);
  }
  if (transform_) return ReadPlain(guard, dest, size, position);
  const size_t done = ReadAllLocked(static_cast<char*>(dest), size, position);
  position_ = position + static_cast<int64_t>(done);
  return done;
}

size_t VEXA_File::ReadAllLocked(char* out, size_t size, int64_t position) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = sys::Pread(fd_, out + done, size - done,
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
  return done;
}

size_t VEXA_File::WriteAt(const void* src, size_t size, int64_t position) {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0 || size == 0) return 0;
  if (position < 0) {
    ok_ = false;
    throw ErrorText(kErrWriteFailed, path_);
  }
  if (transform_) {
    WritePlainLocked(static_cast<const unsigned char*>(src), size, position);
  } else {
    StoreLocked(src, size, position);
  }
  position_ = position + static_cast<int64_t>(size);
  return size;
}

void VEXA_File::StoreLocked(const void* src, size_t size, int64_t position) {
  if (undo_size_ >= 0) KeepOldLocked(position, size);
  if (!WriteAllLocked(static_cast<const char*>(src), size, position)) {
    ok_ = false;
    throw ErrorText(kErrWriteFailed, path_);
  }
}

bool VEXA_File::WriteAllLocked(const char* in, size_t size, int64_t position) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = sys::Pwrite(fd_, in + done, size - done,
                            static_cast<off_t>(position + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool VEXA_File::Link(const std::string& name) {
  std::lock_guard<std::mutex> guard(lock_);
  return fd_ >= 0 && sys::Link(DescriptorPath(fd_).c_str(), name.c_str()) == 0;
}

namespace {

constexpr char kAccessAcl[] = "system.posix_acl_access";

// The names of the extended attributes of `path`, each ending in NUL.
std::string AttributeNames(const char* path) {
  std::string names;
  for (;;) {
    const ssize_t size = sys::ListAttributes(path, nullptr, 0);
    if (size <= 0) return {};
    names.resize(static_cast<size_t>(size));
    const ssize_t got = sys::ListAttributes(path, names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<size_t>(got));
      return names;
    }
    if (errno != ERANGE) return {};  // grown meanwhile: ask again
  }
}

// Copies the extended attributes of `from` onto the descriptor; false when
// the access control list is among those that could not be copied.
bool CopyAttributes(const char* from, int fd) {
  const std::string names = AttributeNames(from);
  bool acl_kept = true;
  std::string value;
  for (size_t at = 0; at < names.size();) {
    const char* name = names.c_str() + at;
    at += std::strlen(name) + 1;
    bool copied = false;
    const ssize_t size = sys::GetAttribute(from, name, nullptr, 0);
    if (size >= 0) {
      value.resize(static_cast<size_t>(size));
      const ssize_t got = sys::GetAttribute(from, name, value.data(), value.size());
      copied = got >= 0 &&
               sys::SetAttribute(fd, name, value.data(), static_cast<size_t>(got)) == 0;
    }
    if (!copied && std::strcmp(name, kAccessAcl) == 0) acl_kept = false;
  }
  return acl_kept;
}

}  // namespace

bool VEXA_File::TakeAttributesOf(const std::string& from) {
  std::lock_guard<std::mutex> guard(lock_);
  struct stat old;
  if (fd_ < 0 || sys::Stat(from.c_str(), &old) != 0) return false;
  mode_t mode = old.st_mode & 07777;
  // The owner first: a change of owner clears the set-id bits.
  struct stat now;
  if (sys::Fstat(fd_, &now) != 0) return false;
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
      sys::Fchown(fd_, old.st_uid, old.st_gid) != 0 &&
      sys::Fchown(fd_, static_cast<uid_t>(-1), old.st_gid) != 0 && now.st_gid != old.st_gid) {
    mode = (mode & ~mode_t{070}) | ((mode & 07) << 3);
  }
  if (sys::Fchmod(fd_, mode) != 0) return false;
  // The access control list comes last: it sets the group bits again.
  if (!CopyAttributes(from.c_str(), fd_) && sys::Fchmod(fd_, mode & ~mode_t{070}) != 0) {
    return false;
  }
  return true;
}

int VEXA_File::LockForWriting() {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0) return EBADF;
  if (sys::LockWholeFile(fd_, F_WRLCK) == 0) return 0;
  return errno == EACCES ? EAGAIN : errno;
}

void VEXA_File::KeepUndo() {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0 || undo_size_ >= 0) return;
  struct stat st;
  if (sys::Fstat(fd_, &st) != 0) throw ErrorText(kErrReadFailed, path_);
  journal_ = std::make_unique<Journal>(path_, fd_, static_cast<int64_t>(st.st_size));
  undo_size_ = static_cast<int64_t>(st.st_size);
  undo_.clear();
}

// Keeps the old bytes of [position, position + size) that lie inside the
// file's size at KeepUndo() and are not kept yet. The regions kept never
// overlap; appends touch few of them (the header's counts and the tail
// that the last block or case is written over). Each goes to the journal
// too, which is on disk before this returns: the write or cut that follows
// may then change those bytes.
void VEXA_File::KeepOldLocked(int64_t position, size_t size) {
  const int64_t end = std::min(position + static_cast<int64_t>(size), undo_size_);
  const bool changes_old = position < end;
  while (position < end) {
    auto next = undo_.upper_bound(position);
    if (next != undo_.begin()) {
      auto before = std::prev(next);
      const int64_t before_end = before->first + static_cast<int64_t>(before->second.size());
      if (before_end > position) {
        position = before_end;
        continue;
      }
    }
    const int64_t gap_end = next == undo_.end() ? end : std::min(end, next->first);
    std::string old(static_cast<size_t>(gap_end - position), '\0');
    size_t done = 0;
    while (done < old.size()) {
      ssize_t n = sys::Pread(fd_, old.data() + done, old.size() - done,
                             static_cast<off_t>(position + static_cast<int64_t>(done)));
      if (n < 0 && errno == EINTR) continue;
      // Nothing is written over bytes that could not be kept.
      if (n <= 0) throw ErrorText(kErrWriteFailed, path_);
      done += static_cast<size_t>(n);
    }
    if (journal_) journal_->Keep(position, old);
    undo_.emplace(position, std::move(old));
    position = gap_end;
  }
  if (changes_old && journal_) journal_->Flush();
}

bool VEXA_File::Rollback() {
  std::lock_guard<std::mutex> guard(lock_);
  return RollbackLocked();
}

bool VEXA_File::RollbackLocked() {
  if (fd_ < 0 || undo_size_ < 0) return false;
  // The plain view is read again from the bytes put back.
  tail_stored_ = true;
  bool ok = true;
  for (const auto& [at, bytes] : undo_) {
    ok = WriteAllLocked(bytes.data(), bytes.size(), at) && ok;
  }
  int rc;
  do {
    rc = sys::Ftruncate(fd_, static_cast<off_t>(undo_size_));
  } while (rc != 0 && errno == EINTR);
  ok = ok && rc == 0 && SyncLocked();
  // Put back and on disk: the journal has done its work. Else it stays, and
  // the next open plays it back.
  if (ok && journal_) ok = journal_->Remove();
  journal_.reset();
  undo_.clear();
  undo_size_ = -1;
  if (transform_ && !LoadTailLocked()) ok = ok_ = false;
  return ok;
}

bool VEXA_File::Commit() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!WriteOutLocked() || !SyncLocked()) return false;
  // The commit point: once the journal is gone, the change stays.
  if (journal_ && !journal_->Remove()) return false;
  journal_.reset();
  undo_.clear();
  undo_size_ = -1;
  return true;
}

int64_t VEXA_File::FileSize() {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0) return 0;
  return transform_ ? plain_size_ : StoredSizeLocked();
}

int64_t VEXA_File::StoredSizeLocked() {
  struct stat st;
  if (sys::Fstat(fd_, &st) != 0) throw ErrorText(kErrReadFailed, path_);
  return static_cast<int64_t>(st.st_size);
}

bool VEXA_File::Sync() {
  std::lock_guard<std::mutex> guard(lock_);
  return WriteOutLocked() && SyncLocked();
}

void VEXA_File::WriteOut() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!WriteOutLocked()) throw ErrorText(kErrWriteFailed, path_);
}

bool VEXA_File::SyncLocked() {
  if (fd_ < 0) return false;
  int rc;
  do {
    rc = sys::Fsync(fd_);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

void VEXA_File::Truncate(int64_t size) {
  std::lock_guard<std::mutex> guard(lock_);
  if (fd_ < 0) return;
  if (transform_) {
    TruncatePlainLocked(size);
  } else {
    CutLocked(size);
  }
}

void VEXA_File::CutLocked(int64_t size) {
  if (undo_size_ > size) KeepOldLocked(size, static_cast<size_t>(undo_size_ - size));
  int rc;
  do {
    rc = sys::Ftruncate(fd_, static_cast<off_t>(size));
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
  // A change never committed is undone; else a transformed file's last
  // block is stored.
  bool stored = true;
  if (undo_size_ >= 0) {
    RollbackLocked();
  } else {
    stored = WriteOutLocked();
  }
  int fd = fd_;
  fd_ = -1;
  ok_ = false;
  bool remove = delete_on_close_;
  delete_on_close_ = false;
  // A close interrupted by a signal has still released the descriptor on
  // Linux, so EINTR is not retried.
  int rc = sys::Close(fd);
  if (remove) sys::Unlink(path_.c_str());
  DropTransformLocked();
  if ((rc != 0 && errno != EINTR) || !stored) throw ErrorText(kErrWriteFailed, path_);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return sys::Stat(path.c_str(), &st) == 0;
}

bool RemoveFile(const std::string& path) {
  return sys::Unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return sys::Rename(from.c_str(), to.c_str()) == 0;
}

bool DirectoryTakesNewFiles(const std::string& path) {
  const std::string dir = DirectoryOf(path);
  struct stat st;
  return sys::Stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         sys::Access(dir.c_str(), W_OK | X_OK) == 0;
}

std::string WriteTarget(const std::string& path) {
  struct stat st;
  if (sys::Lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  return sys::Realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string BesideName(const std::string& path, int attempt) {
  const size_t slash = path.find_last_of('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, base) + "." + path.substr(base) + "." +
         std::to_string(sys::ProcessId()) + "-" + std::to_string(attempt) + ".tmp";
}

bool FlushDirectoryOf(const std::string& path) {
  const int fd = sys::OpenRetrying(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int rc;
  do {
    rc = sys::Fsync(fd);
  } while (rc != 0 && errno == EINTR);
  sys::Close(fd);
  return rc == 0;
}

}  // namespace vexa
