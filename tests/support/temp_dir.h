// TempDir: a fresh directory under the platform's temp location, removed with
// everything in it when the object goes away.
#pragma once

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

}  // namespace vexa::testing
