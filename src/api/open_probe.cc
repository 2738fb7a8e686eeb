#include "api/open_probe.h"

#include <cerrno>
#include <system_error>

#include "io/posix_file.h"
#include "support/errors.h"
#include "sysfile/file_kind.h"

namespace vexa {

namespace {

// errno stays as the failed open left it.
bool OpensWith(const std::string& path, const char* mode) {
  bool opened = false;
  int error = 0;
  {
    VEXA_File file;
    opened = file.Open(path, mode);
    error = errno;
  }
  errno = error;
  return opened;
}

}  // namespace

// A new file is written beside the one it replaces and renamed over it
// (SystemFileDataSource::FinishWriting): the directory must take new
// files. Nothing is created here, so the probe never leaves a file.
bool ProbeWrite(const std::string& path) {
  const std::string target = WriteTarget(path);
  if (OpensWith(target, "r")) return OpensWith(target, "r+") && DirectoryTakesNewFiles(target);
  return DirectoryTakesNewFiles(target);
}

std::string CannotOpen(const std::string& path) {
  const std::string reason = std::error_code(errno, std::generic_category()).message();
  return Sentence("\"{}\" cannot be opened: {}", path, reason);
}

bool HasEncryptedSignature(VEXA_File& file) {
  char head[kFileKindProbeBytes];
  size_t n = file.ReadAt(head, sizeof head, 0);
  return DetectFileKind(head, n) == FileKind::kENCRYPTED;
}

}  // namespace vexa
