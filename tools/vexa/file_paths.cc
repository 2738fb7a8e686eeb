#include "file_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "text_util.h"

namespace vexa::tool {
namespace {

// Copies the whole of `from` into the file at `to`; false, with *error, on
// a read or write failure.
bool CopyAll(int from, const std::string& to, std::string* error) {
  const int out = open(to.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (out < 0) {
    *error = std::strerror(errno);
    return false;
  }
  char buffer[1 << 16];
  bool ok = true;
  for (;;) {
    const ssize_t n = read(from, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = std::string("reading: ") + std::strerror(errno);
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) {
        *error = std::string("copying: ") + std::strerror(errno);
        close(out);
        return false;
      }
      done += w;
    }
  }
  if (close(out) != 0 && ok) {
    *error = std::string("copying: ") + std::strerror(errno);
    ok = false;
  }
  return ok;
}

}  // namespace

std::string OutputRefusal(const std::string& path, const std::string& extension, bool force) {
  struct stat st {};
  // The rename that puts a new file in place would replace a link itself
  // (/dev/stdout among them), not the file it names.
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    return "a symbolic link; give the path of the file itself";
  }
  if (stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    if (!S_ISREG(st.st_mode)) return "not a regular file; the output must be one";
    if (!force) return "the file exists (--force replaces it)";
  }
  const std::string name = std::filesystem::path(path).filename().string();
  if (!force && (name.size() <= extension.size() ||
                 NameKey(name.substr(name.size() - extension.size())) != NameKey(extension))) {
    return "the name does not end in " + extension + " (--force writes it all the same)";
  }
  return "";
}

bool InputFile::Open(const std::string& path, std::string* error) {
  path_ = path;
  int fd = STDIN_FILENO;
  if (path != "-") {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      *error = std::strerror(errno);
      return false;
    }
  }
  struct stat st {};
  const bool ok = fstat(fd, &st) == 0;
  const int fstat_errno = errno;
  bool result = true;
  if (ok && S_ISREG(st.st_mode) && (st.st_mode & 077) == 0) owner_only_mode_ = st.st_mode & 0777;
  if (!ok) {
    *error = std::strerror(fstat_errno);
    result = false;
  } else if (S_ISDIR(st.st_mode)) {
    *error = std::strerror(EISDIR);
    result = false;
  } else if (S_ISREG(st.st_mode) && path == "-") {
    path_ = "/dev/stdin";  // a file: open it again by this name
  } else if (!S_ISREG(st.st_mode)) {
    // Read it as a stream, once, into a file of our own.
    result = copy_.Create("vexa-input", error) && CopyAll(fd, copy_.path(), error);
  }
  if (fd != STDIN_FILENO) close(fd);
  return result;
}

}  // namespace vexa::tool
