#include "crypt/stat_crypt.h"

#include <algorithm>

#include "crypt/protected_header.h"

namespace vexa::crypt {
namespace {

// The most bytes handed to the cipher at once: a whole number of blocks
// that its int lengths hold.
constexpr size_t kMostPerCall = size_t{1} << 30;

}  // namespace

std::shared_ptr<StatCrypt> StatCrypt::Make(std::string_view password) {
  std::shared_ptr<StatCrypt> crypt(new StatCrypt);
  if (!DeriveKey(password, crypt->key_)) return nullptr;
  // The cipher is tried once here, so that a library that cannot run it
  // shows at the open.
  auto cipher = std::make_unique<BlockCipher>(crypt->key_, BlockCipher::Direction::kDecrypt, false);
  if (!cipher->Ok()) return nullptr;
  crypt->idle_[1].push_back(std::move(cipher));
  return crypt;
}

int64_t StatCrypt::HeaderBytes() const { return kProtectedHeaderBytes; }

bool StatCrypt::Encode(const unsigned char* in, unsigned char* out, size_t size) {
  return Run(BlockCipher::Direction::kEncrypt, in, out, size);
}

bool StatCrypt::Decode(const unsigned char* in, unsigned char* out, size_t size) {
  return Run(BlockCipher::Direction::kDecrypt, in, out, size);
}

bool StatCrypt::Run(BlockCipher::Direction direction, const unsigned char* in,
                    unsigned char* out, size_t size) {
  if (size % kBlockBytes != 0) return false;
  auto& idle = idle_[direction == BlockCipher::Direction::kDecrypt ? 1 : 0];
  std::unique_ptr<BlockCipher> cipher;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!idle.empty()) {
      cipher = std::move(idle.back());
      idle.pop_back();
    }
  }
  if (!cipher) cipher = std::make_unique<BlockCipher>(key_, direction, false);
  bool ok = cipher->Ok();
  for (size_t done = 0; ok && done < size;) {
    const size_t n = std::min(size - done, kMostPerCall);
    size_t written = 0;
    ok = cipher->Update(in + done, n, out + done, &written) && written == n;
    done += n;
  }
  if (ok) {
    std::lock_guard<std::mutex> guard(lock_);
    idle.push_back(std::move(cipher));
  }
  return ok;
}

}  // namespace vexa::crypt
