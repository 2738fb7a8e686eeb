#include "io/temp_directories.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <vector>

#include "io/descriptor.h"
#include "io/sys_calls.h"
#include "support/errors.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVurt = "Vurt";

std::string Getenv(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The base directories, each ending in "/".
std::vector<std::string> BaseDirectories() {
  std::string value;
  for (const char* name : {"VEXATMPDIR", "VEXATEMPDIR", "TMP", "TEMP", "TMPDIR"}) {
    value = Getenv(name);
    if (!value.empty()) break;
  }
  if (value.empty()) value = "/tmp";
  std::vector<std::string> bases;
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find_first_of(";,", start);
    if (end == std::string::npos) end = value.size();
    if (end > start) {
      std::error_code ec;
      std::string path = fs::absolute(value.substr(start, end - start), ec).lexically_normal();
      if (!ec && !path.empty()) {
        if (path.back() != '/') path += '/';
        bases.push_back(std::move(path));
      }
    }
    start = end + 1;
  }
  return bases;
}

// The directory `name` in `dir`, never through a symbolic link.
Descriptor OpenDirectoryAt(int dir, const char* name) {
  return Descriptor(sys::OpenAt(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0));
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The names in the open directory but "." and ".." (none when it cannot
// be listed).
std::vector<std::string> Names(int dir) {
  std::vector<std::string> names;
  if (sys::ListDirectory(dir, &names) != 0) names.clear();
  return names;
}

// Removes the name `name` in `base`, only while it still names the
// directory that `dir` holds open.
bool UnlinkHeldDirectory(int base, const std::string& name, int dir) {
  struct stat held, named;
  return sys::Fstat(dir, &held) == 0 &&
         sys::StatAt(base, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         SameFile(held, named) && sys::UnlinkAt(base, name.c_str(), AT_REMOVEDIR) == 0;
}

// Removes everything inside the open directory, descending into
// subdirectories through descriptors and never following a link: whatever
// is done to names meanwhile, nothing outside is touched.
void RemoveContents(int dir) {
  for (const std::string& name : Names(dir)) {
    struct stat st;
    if (sys::StatAt(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      Descriptor sub = OpenDirectoryAt(dir, name.c_str());
      if (!sub) continue;
      sys::Fchmod(sub.get(), 0700);  // its entries can be removed
      RemoveContents(sub.get());
      sys::UnlinkAt(dir, name.c_str(), AT_REMOVEDIR);
    } else {
      sys::UnlinkAt(dir, name.c_str(), 0);
    }
  }
}

// Removes the directory `name` in `base` that `dir` holds open: its
// contents through the descriptor, the name only while it still names
// that directory.
bool RemoveDirectory(int base, const std::string& name, int dir) {
  RemoveContents(dir);
  return UnlinkHeldDirectory(base, name, dir);
}

// The process id in a directory name of ours, "vexa<pid>" or
// "vexa<pid>.<suffix>"; 0 for any other name.
pid_t ProcessOfName(const char* name) {
  if (std::strncmp(name, "vexa", 4) != 0) return 0;
  const char* digits = name + 4;
  char* end = nullptr;
  errno = 0;
  const long pid = std::strtol(digits, &end, 10);
  if (end == digits || errno != 0 || pid <= 0 || (*end != '\0' && *end != '.')) return 0;
  return static_cast<pid_t>(pid);
}

// Whether the open directory is one that only this user can use: owned by
// this user, and open to nobody else.
bool IsPrivate(int dir) {
  struct stat st;
  return sys::Fstat(dir, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == sys::EffectiveUser() &&
         (st.st_mode & 0777) == 0700;
}

// Removes the empty directories that processes of this user left in `base`
// when they ended without removing them (killed, or crashed). One that
// holds anything is left alone: the name could be a folder of the user's
// own that merely looks like ours.
void RemoveLeftovers(int base) {
  for (const std::string& name : Names(base)) {
    const pid_t pid = ProcessOfName(name.c_str());
    // A process that exists, whoever's it is, may be using it.
    if (pid == 0 || pid == sys::ProcessId() || sys::ProcessMayExist(pid)) continue;
    Descriptor dir = OpenDirectoryAt(base, name.c_str());
    if (!dir || !IsPrivate(dir.get())) continue;
    sys::UnlinkAt(dir.get(), kVurt, 0);
    UnlinkHeldDirectory(base, name, dir.get());
  }
}

std::string RandomSuffix() {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string suffix(6, 'A');
  for (char& c : suffix) c = kLetters[random() % (sizeof kLetters - 1)];
  return suffix;
}

// One process directory: its base, its name there and the descriptor held
// from its creation on.
struct ProcessDirectory {
  std::string path;  // base + name + "/"
  std::string name;
  Descriptor base;
  Descriptor dir;
};

// Makes the process directory in `base`: "vexa<pid>", or a fresh name
// with a random suffix when that name is taken by anything this process
// cannot trust (another user's, a link, a directory others may write).
// On failure, *reason says why in the system's words.
bool MakeProcessDirectory(const std::string& base_path, ProcessDirectory* out,
                          std::string* reason) {
  Descriptor base(sys::OpenRetrying(base_path.c_str(), O_RDONLY | O_DIRECTORY));
  if (!base) {
    *reason = std::strerror(errno);
    return false;
  }
  RemoveLeftovers(base.get());
  const std::string plain = "vexa" + std::to_string(sys::ProcessId());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = attempt == 0 ? plain : plain + "." + RandomSuffix();
    const bool made = sys::MakeDirectoryAt(base.get(), name.c_str(), 0700) == 0;
    if (!made && errno != EEXIST) {
      *reason = std::strerror(errno);
      return false;
    }
    // "vexa<pid>" may be reused as it is (left by an earlier process of
    // this id); a fresh name must be new.
    if (!made && attempt > 0) continue;
    Descriptor dir = OpenDirectoryAt(base.get(), name.c_str());
    if (!dir) continue;  // not a directory, or replaced meanwhile
    // One made now is ours whatever the umask made of its mode.
    if (made) sys::Fchmod(dir.get(), 0700);
    if (!IsPrivate(dir.get())) continue;
    sys::UnlinkAt(dir.get(), kVurt, 0);
    out->path = base_path + name + "/";
    out->name = name;
    out->base = std::move(base);
    out->dir = std::move(dir);
    return true;
  }
  *reason = "no directory of this process's own could be made in it";
  return false;
}

class TempState {
 public:
  ~TempState() { Remove(true); }

  std::string NextDirectory() {
    std::lock_guard<std::mutex> guard(lock_);
    const ProcessDirectory* dir = NextLocked();
    return dir ? dir->path : std::string();
  }

  std::string FileName(std::string_view word) {
    std::lock_guard<std::mutex> guard(lock_);
    const ProcessDirectory* dir = NextLocked();
    if (dir == nullptr) {
      throw SystemFileException(kErrReopen,
                                "no temporary directory can be used: " + problems_);
    }
    // Through the descriptor where the system can name it so: the name
    // then stays inside the directory made, whatever becomes of its path.
    const std::string through = "/proc/self/fd/" + std::to_string(dir->dir.get()) + "/";
    const std::string prefix = sys::Access(through.c_str(), F_OK) == 0 ? through : dir->path;
    const std::string stem = std::string(word.substr(0, 8)) + ".";
    std::string name;
    struct stat st;
    do {
      name = stem + std::to_string(++counter_);
    } while (sys::StatAt(dir->dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0);
    name = prefix + name;
    return name.size() < 261 ? name : std::string();
  }

  void Remove(bool final) {
    std::lock_guard<std::mutex> guard(lock_);
    // A forked child that ends leaves its parent's directories alone.
    if (active_ && creator_ == sys::ProcessId()) {
      for (ProcessDirectory& dir : dirs_) {
        if (!RemoveDirectory(dir.base.get(), dir.name, dir.dir.get())) {
          Descriptor(sys::OpenAt(dir.dir.get(), kVurt,
                              O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
        }
      }
      if (saved_tmp_set_) {
        ::setenv("TMP", saved_tmp_.c_str(), 1);
      } else {
        ::unsetenv("TMP");
      }
    }
    dirs_.clear();
    active_ = false;
    // Once removed at unload, nothing is made again.
    if (final) done_ = true;
    made_ = false;
  }

 private:
  const ProcessDirectory* NextLocked() {
    if (!made_ && !done_) Make();
    if (!active_) return nullptr;
    cursor_ = (cursor_ + 1) % dirs_.size();
    return &dirs_[cursor_];
  }

  void Make() {
    made_ = true;
    problems_.clear();
    for (const std::string& base : BaseDirectories()) {
      ProcessDirectory dir;
      std::string reason;
      if (MakeProcessDirectory(base, &dir, &reason)) {
        dirs_.push_back(std::move(dir));
      } else {
        problems_ += (problems_.empty() ? "" : "; ") + base + ": " + reason;
      }
    }
    if (dirs_.empty()) return;
    creator_ = sys::ProcessId();
    // Set while the state's lock is held, the one time the directories are
    // made: no thread of the library reads the environment.
    const char* tmp = std::getenv("TMP");
    saved_tmp_set_ = tmp != nullptr;
    saved_tmp_ = tmp ? tmp : "";
    const std::string& first = dirs_.front().path;
    ::setenv("TMP", first.substr(0, first.size() - 1).c_str(), 1);
    cursor_ = dirs_.size() - 1;
    active_ = true;
  }

  std::mutex lock_;
  std::vector<ProcessDirectory> dirs_;
  std::string problems_;  // why each base directory could not be used
  std::string saved_tmp_;
  pid_t creator_ = 0;
  bool saved_tmp_set_ = false;
  bool made_ = false;
  bool active_ = false;
  bool done_ = false;
  size_t cursor_ = 0;
  uint64_t counter_ = 0;
};

// Destroyed when the library unloads (or the process ends), which removes
// the directories.
TempState state;

}  // namespace

std::string NextTempDirectory() { return state.NextDirectory(); }
std::string TempFileName(std::string_view word) { return state.FileName(word); }
void RemoveTempDirectories(bool final) { state.Remove(final); }

}  // namespace vexa
