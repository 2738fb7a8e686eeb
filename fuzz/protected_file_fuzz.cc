// A protected file, opened with its password and read as read_file reads a
// plain one. Mutated ciphertext decrypts to noise that the padding check
// refuses, so by default the input is the plain file inside: the first
// byte is even and the rest is encrypted with the known password first. An
// odd first byte gives the protected file as it is, for the protected
// header and the checks on what decrypts.
#include <cstdlib>

#include "crypt/cipher.h"
#include "crypt/protected_header.h"
#include "fuzz_target.h"
#include "sysfile/system_file_data_source.h"

using namespace vexa;

namespace {

// Of odd length, so that it has no encoded form for the open to try too.
constexpr char kPassword[] = "fuzz5";

std::string Sealed(const uint8_t* plain, size_t size) {
  crypt::Key key;
  if (!crypt::DeriveKey(kPassword, key)) std::abort();
  crypt::BlockCipher cipher(key, crypt::BlockCipher::Direction::kEncrypt);
  std::string out = crypt::ProtectedHeader();
  const size_t head = out.size();
  out.resize(head + size + 2 * crypt::kBlockBytes);
  auto* dest = reinterpret_cast<unsigned char*>(out.data() + head);
  size_t n = 0, last = 0;
  if (!cipher.Update(plain, size, dest, &n) || !cipher.Final(dest + n, &last)) std::abort();
  out.resize(head + n + last);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ScratchFile scratch("protected");
  if (size < 1) return 0;
  const std::string bytes =
      data[0] & 1 ? fuzz::Bytes(data + 1, size - 1) : Sealed(data + 1, size - 1);
  const std::string& path = scratch.Write(bytes.data(), bytes.size());
  fuzz::Refusable([&] { fuzz::ReadCases(*SystemFileDataSource::OpenForReading(path, kPassword)); });
  return 0;
}
