#include "io/journal.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "io/descriptor.h"
#include "io/posix_file.h"
#include "io/sys_calls.h"
#include "support/errors.h"

namespace vexa {
namespace {

constexpr char kMagic[8] = {'V', 'X', 'J', 'O', 'U', 'R', 'N', 'L'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 56;
constexpr size_t kHeaderCrcAt = 48;  // the crc covers the bytes before it
constexpr size_t kRecordHeadSize = 16;
constexpr size_t kRecordCrcAt = 12;

void PutLE(char* at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<char>(value >> (8 * i));
}

uint64_t GetLE(const char* at, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(at[i]);
  return value;
}

uint32_t Crc(uint32_t crc, const char* bytes, size_t size) {
  // zlib takes the length as uInt; a record's length is 32-bit.
  return static_cast<uint32_t>(
      crc32(crc, reinterpret_cast<const Bytef*>(bytes), static_cast<uInt>(size)));
}

std::string Reason() { return std::strerror(errno); }

// Writes, or reads, all `size` bytes at `at`, retrying interrupted and
// partial transfers; false on failure or at the end of the file.
bool TransferAll(int fd, const char* bytes, size_t size, int64_t at, bool write = true) {
  for (size_t done = 0; done < size;) {
    const auto where = static_cast<off_t>(at + static_cast<int64_t>(done));
    const ssize_t n = write ? sys::Pwrite(fd, bytes + done, size - done, where)
                            : sys::Pread(fd, const_cast<char*>(bytes) + done, size - done, where);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool SyncFd(int fd) {
  int rc;
  do {
    rc = sys::Fsync(fd);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

// A journal's header. The birth time tells the file from a later one that
// got its inode number after it was removed (0 where the file system does
// not keep one).
struct Header {
  int64_t size = 0;
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t birth_seconds = 0;
  uint32_t birth_nanoseconds = 0;
};

// The header that describes the open file `fd` as it is now, of `size`
// bytes.
Header Describe(int fd, const struct stat& st, int64_t size) {
  Header h{size, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  struct statx stx;
  if (sys::Fstatx(fd, STATX_BTIME, &stx) == 0 && (stx.stx_mask & STATX_BTIME) != 0) {
    h.birth_seconds = stx.stx_btime.tv_sec;
    h.birth_nanoseconds = stx.stx_btime.tv_nsec;
  }
  return h;
}

// Whether journal header `h` was made for the file `now` describes.
bool SameFile(const Header& h, const Header& now) {
  const bool births_known = (h.birth_seconds | h.birth_nanoseconds) != 0 &&
                            (now.birth_seconds | now.birth_nanoseconds) != 0;
  return h.device == now.device && h.inode == now.inode &&
         (!births_known || (h.birth_seconds == now.birth_seconds &&
                            h.birth_nanoseconds == now.birth_nanoseconds));
}

std::string SerializeHeader(const Header& h) {
  std::string out(kHeaderSize, '\0');
  std::memcpy(out.data(), kMagic, sizeof kMagic);
  PutLE(&out[8], kVersion, 4);
  PutLE(&out[12], h.birth_nanoseconds, 4);
  PutLE(&out[16], static_cast<uint64_t>(h.size), 8);
  PutLE(&out[24], h.device, 8);
  PutLE(&out[32], h.inode, 8);
  PutLE(&out[40], static_cast<uint64_t>(h.birth_seconds), 8);
  PutLE(&out[kHeaderCrcAt], Crc(0, out.data(), kHeaderCrcAt), 4);
  return out;
}

// False for a header cut short, damaged or of another version.
bool ParseHeader(const char* in, size_t size, Header* h) {
  if (size < kHeaderSize || std::memcmp(in, kMagic, sizeof kMagic) != 0 ||
      GetLE(in + 8, 4) != kVersion ||
      GetLE(in + kHeaderCrcAt, 4) != Crc(0, in, kHeaderCrcAt) ||
      GetLE(in + kHeaderCrcAt + 4, 4) != 0) {
    return false;
  }
  h->size = static_cast<int64_t>(GetLE(in + 16, 8));
  h->device = GetLE(in + 24, 8);
  h->inode = GetLE(in + 32, 8);
  h->birth_nanoseconds = static_cast<uint32_t>(GetLE(in + 12, 4));
  h->birth_seconds = static_cast<int64_t>(GetLE(in + 40, 8));
  return h->size >= 0;
}

struct Record {
  int64_t position;
  std::string_view bytes;
};

// The whole records after the header of journal `j` that lie within the
// file's old size. The first record cut short, damaged or out of place ends
// them.
std::vector<Record> Records(std::string_view j, const Header& h) {
  std::vector<Record> records;
  for (size_t at = kHeaderSize; j.size() - at >= kRecordHeadSize;) {
    const auto position = static_cast<int64_t>(GetLE(&j[at], 8));
    const uint64_t length = GetLE(&j[at + 8], 4);
    const size_t body = at + kRecordHeadSize;
    if (position < 0 || position > h.size || length > static_cast<uint64_t>(h.size - position) ||
        length > j.size() - body ||
        Crc(Crc(0, &j[at], kRecordCrcAt), &j[body], length) != GetLE(&j[at + kRecordCrcAt], 4)) {
      break;
    }
    records.push_back({position, j.substr(body, length)});
    at = body + length;
  }
  return records;
}

[[noreturn]] void Refuse(const std::string& journal, const std::string& why) {
  ThrowFileError(kErrReopen,
                 "an interrupted append left \"{}\", and the file cannot be put back "
                 "as it was: {}",
                 journal, why);
}

// Puts the old bytes back and cuts the file to its old size, durably.
void PlayBack(int fd, const Header& h, const std::vector<Record>& records,
              const std::string& journal) {
  // Backwards: were a region kept twice, its first record has the oldest
  // bytes.
  for (auto r = records.rbegin(); r != records.rend(); ++r) {
    if (!TransferAll(fd, r->bytes.data(), r->bytes.size(), r->position)) Refuse(journal, Reason());
  }
  int rc;
  do {
    rc = sys::Ftruncate(fd, static_cast<off_t>(h.size));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0 || !SyncFd(fd)) Refuse(journal, Reason());
}

// Removes a journal and makes that durable.
bool RemoveJournal(const std::string& journal) {
  if (sys::Unlink(journal.c_str()) != 0 && errno != ENOENT) return false;
  return FlushDirectoryOf(journal);
}

}  // namespace

std::string JournalPath(const std::string& file) {
  const size_t slash = file.find_last_of('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  return file.substr(0, base) + "." + file.substr(base) + "-journal";
}

Journal::Journal(const std::string& path, int fd, int64_t size)
    : path_(JournalPath(WriteTarget(path))) {
  struct stat st;
  if (sys::Fstat(fd, &st) != 0) {
    ThrowFileError(kErrWriteFailed, "the file \"{}\" cannot be examined: {}", path, Reason());
  }
  // The journal holds the file's bytes: it is never more open than the file.
  fd_ = sys::OpenRetrying(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, st.st_mode & 0666);
  if (fd_ < 0) {
    ThrowFileError(kErrWriteFailed,
                   errno == EEXIST ? "\"{}\" is left from an interrupted append{}; open the "
                                     "file again to put it back"
                                   : "the journal \"{}\" cannot be made: {}",
                   path_, errno == EEXIST ? "" : Reason());
  }
  const std::string header = SerializeHeader(Describe(fd, st, size));
  if (!TransferAll(fd_, header.data(), header.size(), 0) || !SyncFd(fd_) ||
      !FlushDirectoryOf(path_)) {
    const std::string why = Reason();
    sys::Close(fd_);
    fd_ = -1;
    sys::Unlink(path_.c_str());
    ThrowFileError(kErrWriteFailed, "the journal \"{}\" cannot be written: {}", path_, why);
  }
  end_ = static_cast<int64_t>(header.size());
}

Journal::~Journal() {
  if (fd_ >= 0) sys::Close(fd_);
}

void Journal::Keep(int64_t position, std::string_view bytes) {
  std::string record(kRecordHeadSize, '\0');
  PutLE(&record[0], static_cast<uint64_t>(position), 8);
  PutLE(&record[8], bytes.size(), 4);
  PutLE(&record[kRecordCrcAt],
        Crc(Crc(0, record.data(), kRecordCrcAt), bytes.data(), bytes.size()), 4);
  record.append(bytes);
  if (broken_) ThrowBroken();
  dirty_ = true;
  if (!TransferAll(fd_, record.data(), record.size(), end_)) {
    broken_ = true;
    ThrowFileError(kErrWriteFailed, "the journal \"{}\" cannot be written: {}", path_, Reason());
  }
  end_ += static_cast<int64_t>(record.size());
}

void Journal::Flush() {
  if (broken_) ThrowBroken();
  if (dirty_ && !SyncFd(fd_)) {
    broken_ = true;
    ThrowFileError(kErrWriteFailed, "the journal \"{}\" cannot be flushed: {}", path_, Reason());
  }
  dirty_ = false;
}

void Journal::ThrowBroken() const {
  ThrowFileError(kErrWriteFailed,
                 "the journal \"{}\" failed earlier: the file is not changed further", path_);
}

bool Journal::Remove() { return RemoveJournal(path_); }

void RemoveStaleJournal(const std::string& path) {
  const std::string journal = JournalPath(WriteTarget(path));
  if (sys::Unlink(journal.c_str()) == 0) FlushDirectoryOf(journal);
}

void RecoverInterruptedChange(const std::string& path, bool writer_lock_held) {
  const std::string target = WriteTarget(path);
  const std::string journal = JournalPath(target);
  struct stat st;
  if (sys::Stat(journal.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return;
    Refuse(journal, Reason());
  }
  int fd = sys::OpenRetrying(target.c_str(), O_RDWR);
  const bool writable = fd >= 0;
  if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
    fd = sys::OpenRetrying(target.c_str(), O_RDONLY);
  }
  Descriptor file(fd);
  // No file: the open reports that itself.
  if (file.get() < 0) return;
  // A writer at work holds the lock for as long as its journal exists. The
  // lock taken here keeps another opener from playing the journal back too;
  // a caller that holds the writer's lock itself has that already.
  if (!writer_lock_held &&
      sys::LockWholeFile(file.get(), writable ? F_WRLCK : F_RDLCK) != 0) {
    if (errno == EAGAIN || errno == EACCES) return;
    Refuse(journal, Reason());
  }
  Descriptor in(sys::OpenRetrying(journal.c_str(), O_RDONLY | O_NOFOLLOW));
  if (in.get() < 0) {
    if (errno == ENOENT) return;  // its writer finished meanwhile
    Refuse(journal, Reason());
  }
  struct stat file_st, journal_st;
  if (sys::Fstat(file.get(), &file_st) != 0 || sys::Fstat(in.get(), &journal_st) != 0) {
    Refuse(journal, Reason());
  }
  // As large as the bytes an append overwrote, which it read the same way.
  std::string j(static_cast<size_t>(journal_st.st_size), '\0');
  if (!TransferAll(in.get(), j.data(), j.size(), 0, false)) {
    Refuse(journal, Reason());
  }
  Header h;
  const bool ours = ParseHeader(j.data(), j.size(), &h) &&
                    SameFile(h, Describe(file.get(), file_st, 0));
  const bool can_write = writable && sys::Access(DirectoryOf(journal).c_str(), W_OK | X_OK) == 0;
  if (!ours) {
    // Made before the file changed, or not about this file: nothing to put
    // back. Left for an opener who may remove it.
    if (can_write) RemoveJournal(journal);
    return;
  }
  if (!can_write) {
    Refuse(journal, "open the file with permission to write it and its directory to restore it");
  }
  const std::vector<Record> records = Records(j, h);
  PlayBack(file.get(), h, records, journal);
  if (!RemoveJournal(journal)) Refuse(journal, Reason());
}

}  // namespace vexa
