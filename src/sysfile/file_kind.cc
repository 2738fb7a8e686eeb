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
  size_t nRead = stream.Read(magic, kMagicBytes);
  VEXA_FILE_CHECK(nRead == 4, kErrTruncated);
  if (std::memcmp(magic, kPlainMagic, kMagicBytes) == 0) return FileKind::kPLAIN;
  if (std::memcmp(magic, kZlibMagic, kMagicBytes) == 0) return FileKind::kZLIB;

  char skipped[kMagicBytes];
  nRead = stream.Read(skipped, kMagicBytes);
  VEXA_FILE_CHECK(nRead == 4, kErrTruncated);
  char second[kEncryptedMagicBytes];
  std::memset(second, ' ', sizeof second);
  nRead = stream.Read(second, kEncryptedMagicBytes);
  VEXA_FILE_CHECK(nRead == 12, kErrTruncated);
  if (std::memcmp(second, kEncryptedMagic, kEncryptedMagicBytes) == 0) {
    return FileKind::kENCRYPTED;
  }
  VEXA_FILE_FAIL(kErrBadStructure,
                 "magic == \"$FL2\" || magic == \"$FL3\" || magic2 == \"ENCRYPTEDSAV\"");
}

}  // namespace vexa
