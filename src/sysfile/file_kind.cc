#include "sysfile/file_kind.h"

#include <cstring>
#include <string_view>

#include "io/stream.h"
#include "support/errors.h"
#include "support/file_magic.h"

namespace vexa {

namespace {

constexpr size_t kMagicBytes = magic::kSize;
constexpr size_t kEncryptedOffset = magic::kEncryptedOffset;
constexpr size_t kEncryptedMagicBytes = magic::kEncrypted.size();

// The kind that the first four bytes name, if any.
bool KindOfMagic(const char* head, FileKind* kind) {
  const std::string_view mark(head, kMagicBytes);
  if (mark == magic::kPlain) *kind = FileKind::kPLAIN;
  else if (mark == magic::kZlib) *kind = FileKind::kZLIB;
  else return false;
  return true;
}

bool IsEncryptedMagic(const char* bytes) {
  return std::string_view(bytes, kEncryptedMagicBytes) == magic::kEncrypted;
}

}  // namespace

FileKind DetectFileKind(const char* head, size_t size) {
  FileKind kind;
  if (size >= kMagicBytes && KindOfMagic(head, &kind)) return kind;
  if (size >= kEncryptedOffset + kEncryptedMagicBytes &&
      IsEncryptedMagic(head + kEncryptedOffset)) {
    return FileKind::kENCRYPTED;
  }
  return static_cast<FileKind>(kUnknownKind);
}

FileKind DetectFileKind(VEXA_StrBaseIO& stream) {
  char head[kMagicBytes];
  std::memset(head, ' ', sizeof head);
  size_t got = stream.Read(head, kMagicBytes);
  if (got != kMagicBytes) {
    ThrowFileError(kErrTruncated, "the file holds only {} bytes", got);
  }
  FileKind kind;
  if (KindOfMagic(head, &kind)) return kind;

  char skipped[kEncryptedOffset - kMagicBytes];
  got = stream.Read(skipped, sizeof skipped);
  if (got != sizeof skipped) {
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
  if (IsEncryptedMagic(second)) {
    return FileKind::kENCRYPTED;
  }
  ThrowFileError(kErrBadStructure,
                 "the file begins with {}, which is not the mark of a system "
                 "file",
                 Quoted{std::string_view(head, kMagicBytes)});
}

}  // namespace vexa
