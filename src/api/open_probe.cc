#include "api/open_probe.h"

#include "io/posix_file.h"
#include "sysfile/file_kind.h"

namespace vexa {

namespace {

bool OpensWith(const std::string& path, const char* mode) {
  VEXA_File file;
  return file.Open(path, mode);
}

}  // namespace

bool ProbeRead(const std::string& path) { return OpensWith(path, "r"); }

bool ProbeWrite(const std::string& path) {
  if (OpensWith(path, "r")) return OpensWith(path, "r+");
  if (!OpensWith(path, "w")) return false;
  return RemoveFile(path);
}

bool ProbeAppend(const std::string& path) { return OpensWith(path, "r+"); }

bool HasEncryptedSignature(const std::string& path) {
  VEXA_File file;
  if (!file.Open(path, "r")) return false;
  char head[kFileKindProbeBytes];
  size_t n = file.ReadAt(head, sizeof head, 0);
  return DetectFileKind(head, n) == FileKind::kENCRYPTED;
}

}  // namespace vexa
