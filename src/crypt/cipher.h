// The cipher layer: the few operations protected files rely on, over
// libcrypto. The only code of the library that includes OpenSSL.
//  - the file key: 32 bytes derived from the password by the SP 800-108
//    counter-mode KDF with AES-256 CMAC as its MAC (a 32-bit counter, the
//    label, a zero byte, the context and the 32-bit output length in bits);
//    the key-derivation key is the password's first 32 bytes, zero-padded;
//  - AES-256-ECB with standard (PKCS#7) block padding, one direction per
//    BlockCipher; without padding for the pieces of a file before its last,
//    since every block of ECB stands alone.
// The label, the context and the initialisation vector are fixed 32-byte
// constants (cipher.cc): part of the file format, the same for every file.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

struct evp_cipher_ctx_st;

namespace vexa::crypt {

constexpr size_t kKeyBytes = 32;
constexpr size_t kBlockBytes = 16;

// A key that is wiped when it goes.
class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key();
  unsigned char* data() { return bytes_.data(); }
  const unsigned char* data() const { return bytes_.data(); }

 private:
  std::array<unsigned char, kKeyBytes> bytes_{};
};

// Overwrites memory in a way the compiler keeps.
void Cleanse(void* data, size_t size);

// The file key of a password; false when the cipher library fails.
bool DeriveKey(std::string_view password, Key& key);

class BlockCipher {
 public:
  enum class Direction { kEncrypt, kDecrypt };

  // Usable when Ok(); otherwise every step fails. Without padding, Update
  // takes whole blocks only and writes as many bytes as it reads (`in` may
  // be `out`), and Final adds or checks nothing.
  BlockCipher(const Key& key, Direction direction, bool padded = true);
  BlockCipher(const BlockCipher&) = delete;
  BlockCipher& operator=(const BlockCipher&) = delete;
  ~BlockCipher();

  bool Ok() const { return ctx_ != nullptr; }
  // Writes at most size + kBlockBytes bytes to `out`; false on failure.
  bool Update(const unsigned char* in, size_t size, unsigned char* out, size_t* written);
  // The last block (padding); decryption fails here on bad padding, which
  // is how a wrong key usually shows.
  bool Final(unsigned char* out, size_t* written);

 private:
  evp_cipher_ctx_st* ctx_ = nullptr;
  Direction direction_;
};

}  // namespace vexa::crypt
