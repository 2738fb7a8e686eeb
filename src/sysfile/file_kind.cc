#include "sysfile/file_kind.h"

#include <cstring>

#include "io/stream.h"
#include "support/errors.h"

namespace vexa {

namespace {

constexpr char kPlainMagic[] = "$FL2";
constexpr char kZlibMagic[] = "$FL3";
constexpr char kEncryptedMagic[] = "ENCRYPTEDSAV";
constexpr size_t kMagicBytes = 4;
constexpr size_t kEncryptedOffset = 8;
constexpr size_t kEncryptedMagicBytes = 12;

}  // namespace

FileKind DetectFileKind(const char* head, size_t size) {
  if (size >= kMagicBytes) {
    if (std::memcmp(head, kPlainMagic, kMagicBytes) == 0) return FileKind::kPLAIN;
    if (std::memcmp(head, kZlibMagic, kMagicBytes) == 0) return FileKind::kZLIB;
  }
  if (size >= kEncryptedOffset + kEncryptedMagicBytes &&
      std::memcmp(head + kEncryptedOffset, kEncryptedMagic,
                  kEncryptedMagicBytes) == 0) {
    return FileKind::kENCRYPTED;
  }
  return static_cast<FileKind>(kUnknownKind);
}

FileKind DetectFileKind(VEXA_StrBaseIO& stream) {
  char magic[kMagicBytes];
  std::memset(magic, ' ', sizeof magic);
  size_t got = stream.Read(magic, kMagicBytes);
  if (got != kMagicBytes) {
    ThrowFileError(kErrTruncated, "the file holds only {} bytes", got);
  }
  if (std::memcmp(magic, kPlainMagic, kMagicBytes) == 0) return FileKind::kPLAIN;
  if (std::memcmp(magic, kZlibMagic, kMagicBytes) == 0) return FileKind::kZLIB;

  char skipped[kMagicBytes];
  got = stream.Read(skipped, kMagicBytes);
  if (got != kMagicBytes) {
    ThrowFileError(kErrTruncated, "the file holds only {} bytes",
                   kMagicBytes + got);
  }
  char second[kEncryptedMagicBytes];
  std::memset(second, ' ', sizeof second);
  got = stream.Read(second, kEncryptedMagicBytes);
  if (got != kEncryptedMagicBytes) {
    ThrowFileError(kErrTruncated, "the file holds only {} bytes",
                   kEncryptedOffset + got);
  }
  if (std::memcmp(second, kEncryptedMagic, kEncryptedMagicBytes) == 0) {
    return FileKind::kENCRYPTED;
  }
  ThrowFileError(kErrBadStructure,
                 "the file begins with {}, which is not the mark of a system "
                 "file",
                 Quoted{std::string_view(magic, kMagicBytes)});
}

}  // namespace vexa
