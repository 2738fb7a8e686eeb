#include "crypt/stat_crypt.h"

#include <vector>

#include "crypt/cipher.h"

namespace vexa::crypt {
namespace {

// Plain bytes per piece; the output holds a piece and one block more. The
// bytes of the file do not depend on it; large pieces keep the calls per
// byte few.
constexpr size_t kPieceBytes = 256 * 1024;

int64_t Run(std::string_view password, VEXA_StrBaseIO& source, VEXA_StrBaseIO& destination,
            BlockCipher::Direction direction) {
  Key key;
  if (!DeriveKey(password, key)) return 0;
  BlockCipher cipher(key, direction);
  if (!cipher.Ok()) return 0;
  std::vector<unsigned char> buffers(2 * kPieceBytes + kBlockBytes);
  unsigned char* in = buffers.data();
  unsigned char* out = in + kPieceBytes;
  int64_t plain = 0;
  size_t n = 0, written = 0;
  // Decrypted text is cleared from memory when the run ends.
  struct Wipe {
    std::vector<unsigned char>& bytes;
    ~Wipe() { Cleanse(bytes.data(), bytes.size()); }
  } wipe{buffers};
  const bool encrypting = direction == BlockCipher::Direction::kEncrypt;
  while ((n = source.Read(in, kPieceBytes)) > 0) {
    if (!cipher.Update(in, n, out, &written)) return 0;
    destination.Write(out, written);
    plain += static_cast<int64_t>(encrypting ? n : written);
  }
  if (!cipher.Final(out, &written)) return 0;
  destination.Write(out, written);
  if (!encrypting) plain += static_cast<int64_t>(written);
  return plain;
}

}  // namespace

int64_t EncryptStream(std::string_view password, VEXA_StrBaseIO& source,
                      VEXA_StrBaseIO& destination) {
  return Run(password, source, destination, BlockCipher::Direction::kEncrypt);
}

int64_t DecryptStream(std::string_view password, VEXA_StrBaseIO& source,
                      VEXA_StrBaseIO& destination) {
  return Run(password, source, destination, BlockCipher::Direction::kDecrypt);
}

}  // namespace vexa::crypt
