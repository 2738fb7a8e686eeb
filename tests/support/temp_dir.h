// TempDir: a fresh directory under the platform's temp location, removed with
// everything in it when the object goes away.
#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>

namespace vexa::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // A path inside the directory.
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes bytes to a file inside the directory; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

// The bytes of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// Puts an environment variable back as it was when the scope ends; sets it
// to `value` for the scope when one is given.
class ScopedEnv {
 public:
  explicit ScopedEnv(const char* name, const char* value = nullptr) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    old_ = old ? old : "";
    if (value) setenv(name, value, 1);
  }
  ~ScopedEnv() { had_ ? setenv(name_.c_str(), old_.c_str(), 1) : unsetenv(name_.c_str()); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_, old_;
  bool had_;
};

// Limits the size of every file this process writes, for the scope; beyond
// the limit a write fails with EFBIG instead of ending the process.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) : old_handler_(signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, old_handler_);
  }

 private:
  sighandler_t old_handler_;
  rlimit saved_;
};

}  // namespace vexa::testing
