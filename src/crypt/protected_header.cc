#include "crypt/protected_header.h"

#include <cstdint>

#include "support/endian.h"
#include "support/file_magic.h"

namespace vexa::crypt {
namespace {

constexpr uint64_t kBlockLength = 28;
constexpr int32_t kVersion = 21;

}  // namespace

std::string ProtectedHeader() {
  std::string out(kProtectedHeaderBytes, '\0');
  for (size_t i = 0; i < 8; ++i) out[i] = static_cast<char>((kBlockLength >> (8 * i)) & 0xFF);
  out.replace(magic::kEncryptedOffset, magic::kEncrypted.size(),
              magic::kEncrypted);
  out[20] = static_cast<char>(kVersion);
  return out;
}

bool ReadProtectedHeader(VEXA_StrBaseIO& stream) {
  char head[kProtectedHeaderBytes];
  if (stream.Read(head, 8) != 8) return false;
  uint64_t length = 0;
  for (size_t i = 0; i < 8; ++i) length |= uint64_t{static_cast<unsigned char>(head[i])} << (8 * i);
  if (length != kBlockLength || stream.Read(head + 8, kBlockLength) != kBlockLength) return false;
  return std::string_view(head + magic::kEncryptedOffset,
                          magic::kEncrypted.size()) == magic::kEncrypted;
}

bool LooksLikePlainFile(VEXA_StrBaseIO& plain) {
  const int64_t position = plain.Tell();
  char head[80];
  plain.Seek(0, SEEK_SET);
  const bool complete = plain.Read(head, sizeof head) == sizeof head;
  plain.Seek(position, SEEK_SET);
  if (!complete) return false;
  if (!magic::IsSystemFileMagic(head)) return false;
  const int32_t code = LoadI32(head + 64, false);
  for (int32_t good : {1, 2, 3}) {
    if (code == good || code == good << 24) return true;
  }
  return false;
}

}  // namespace vexa::crypt
