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

bool IsProtectedHeader(std::string_view head) {
  if (head.size() < kProtectedHeaderBytes) return false;
  uint64_t length = 0;
  for (size_t i = 0; i < 8; ++i) length |= uint64_t{static_cast<unsigned char>(head[i])} << (8 * i);
  return length == kBlockLength &&
         head.substr(magic::kEncryptedOffset, magic::kEncrypted.size()) == magic::kEncrypted;
}

bool LooksLikePlainFile(std::string_view head) {
  if (head.size() < 80 || !magic::IsSystemFileMagic(head.data())) return false;
  const int32_t code = LoadI32(head.data() + 64, false);
  for (int32_t good : {1, 2, 3}) {
    if (code == good || code == good << 24) return true;
  }
  return false;
}

}  // namespace vexa::crypt
