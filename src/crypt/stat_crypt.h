// StatCrypt: the cipher of one protected file as the file layer sees it
// (io/block_transform.h): the key derived from the password, and
// AES-256-ECB without padding over runs of whole blocks after the 36-byte
// protected header. Every block of ECB stands alone, so any run of the file
// is encrypted or decrypted by itself, and a file written in pieces is byte
// for byte the file of one padded pass from start to end. Cipher contexts
// are not shared between threads: each call takes one of its own from a
// small pool.
#pragma once

#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "crypt/cipher.h"
#include "io/block_transform.h"

namespace vexa::crypt {

class StatCrypt : public BlockTransform {
 public:
  // Null when the cipher library fails.
  static std::shared_ptr<StatCrypt> Make(std::string_view password);

  int64_t HeaderBytes() const override;
  bool Encode(const unsigned char* in, unsigned char* out, size_t size) override;
  bool Decode(const unsigned char* in, unsigned char* out, size_t size) override;
  void Wipe(void* data, size_t size) const override { Cleanse(data, size); }

 private:
  StatCrypt() = default;
  bool Run(BlockCipher::Direction direction, const unsigned char* in, unsigned char* out,
           size_t size);

  Key key_;
  std::mutex lock_;
  // Contexts not in use, by direction.
  std::vector<std::unique_ptr<BlockCipher>> idle_[2];
};

}  // namespace vexa::crypt
