#include "io/temp_directories.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

namespace vexa {
namespace {

namespace fs = std::filesystem;

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

// Makes (or takes over) the process directory: a directory, not a link,
// owned by this user and closed to everyone else. False when the name is
// taken by anything else: decrypted copies never go where others can look.
bool MakePrivateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
    return false;
  }
  return (st.st_mode & 0777) == 0700 || ::chmod(path.c_str(), 0700) == 0;
}

class TempState {
 public:
  ~TempState() { Remove(true); }

  std::string NextDirectory() {
    std::lock_guard<std::mutex> guard(lock_);
    return NextLocked();
  }

  std::string FileName(std::string_view word) {
    std::lock_guard<std::mutex> guard(lock_);
    const std::string dir = NextLocked();
    if (dir.empty()) return {};
    const std::string stem = dir + std::string(word.substr(0, 8)) + ".";
    std::string name;
    do {
      name = stem + std::to_string(++counter_);
    } while (Exists(name));
    return name.size() < 261 ? name : std::string();
  }

  void Remove(bool final) {
    std::lock_guard<std::mutex> guard(lock_);
    if (active_) {
      for (const std::string& dir : dirs_) {
        std::error_code ec;
        fs::remove_all(dir, ec);
        if (ec || Exists(dir)) std::ofstream(dir + "Vurt").close();
      }
      if (saved_tmp_set_) {
        ::setenv("TMP", saved_tmp_.c_str(), 1);
      } else {
        ::unsetenv("TMP");
      }
      dirs_.clear();
      active_ = false;
    }
    // Once removed at unload, nothing is made again.
    if (final) done_ = true;
    made_ = false;
  }

 private:
  static bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
  }

  std::string NextLocked() {
    if (!made_ && !done_) Make();
    if (!active_) return {};
    cursor_ = (cursor_ + 1) % dirs_.size();
    return dirs_[cursor_];
  }

  void Make() {
    made_ = true;
    bases_ = BaseDirectories();
    const std::string pid = std::to_string(::getpid());
    for (const std::string& base : bases_) {
      const std::string dir = base + "vexa" + pid + "/";
      if (!MakePrivateDirectory(dir.substr(0, dir.size() - 1))) continue;
      ::unlink((dir + "Vurt").c_str());
      dirs_.push_back(dir);
    }
    if (dirs_.empty()) return;
    const char* tmp = std::getenv("TMP");
    saved_tmp_set_ = tmp != nullptr;
    saved_tmp_ = tmp ? tmp : "";
    ::setenv("TMP", dirs_.front().substr(0, dirs_.front().size() - 1).c_str(), 1);
    cursor_ = dirs_.size() - 1;
    active_ = true;
  }

  std::mutex lock_;
  std::vector<std::string> bases_;
  std::vector<std::string> dirs_;
  std::string saved_tmp_;
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
