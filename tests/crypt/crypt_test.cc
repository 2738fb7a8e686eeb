// Protected files: the key derivation against an independent computation,
// the password's encoded form, the protected stream's round trips and
// refusals.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "crypt/cipher.h"
#include "crypt/crypt_file_stream.h"
#include "crypt/password_crypt.h"
#include "crypt/protected_header.h"
#include "io/zlib_stream.h"
#include "support/temp_dir.h"

namespace vexa::crypt {
namespace {

using testing::ReadFile;
using testing::TempDir;

// SP 800-108 in counter mode with AES-256 CMAC, computed block by block
// from the MAC: K(i) = CMAC(kdk, [i]32 || label || 00 || context || [256]32).
std::string IndependentKey(std::string password, const std::string& label,
                           const std::string& context) {
  password.resize(32, '\0');
  std::string key;
  for (char i = 1; i <= 2; ++i) {
    const std::string input =
        std::string{0, 0, 0, i} + label + '\0' + context + std::string{0, 0, 1, 0};
    unsigned char out[16];
    size_t n = 0;
    EXPECT_NE(EVP_Q_mac(nullptr, "CMAC", nullptr, "AES-256-CBC", nullptr, password.data(), 32,
                        reinterpret_cast<const unsigned char*>(input.data()), input.size(), out,
                        sizeof out, &n), nullptr);
    key.append(reinterpret_cast<char*>(out), n);
  }
  return key;
}

std::string KeyOf(const std::string& password) {
  Key key;
  EXPECT_TRUE(DeriveKey(password, key));
  return std::string(reinterpret_cast<const char*>(key.data()), kKeyBytes);
}

// The label and context are the fixed ones of protected files; a password
// counts for its first 32 bytes.
TEST(KeyDerivationTest, MatchesTheCounterModeKdfComputedFromTheMac) {
  const std::string label("\x23\x7a\x95\x05\xb6\x87\x7c\x75\x7d\xcc\x24\x2a\x43\x89\x36\x5e"
                          "\x1e\x28\x7e\x53\x56\x3b\x5b\xe7\x53\x18\x49\x2e\x6b\x7e\x4a\x61");
  const std::string context("\x35\x54\x4e\xb0\x37\x89\xd1\x46\x24\x52\x2f\xcc\x72\x4a\xe3\x20"
                            "\x38\xa2\xa1\xfe\x0f\x4e\x14\xce\xfc\xb1\xe6\x2b\x0e\x1a\x59\xf7");
  for (const std::string& password : {std::string("secret"), std::string(40, 'p'), std::string()}) {
    EXPECT_EQ(KeyOf(password), IndependentKey(password.substr(0, 32), label, context)) << password;
  }
}

TEST(PasswordCryptTest, EveryByteSurvivesInPrintableCharacters) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  for (int round = 0; round < 20; ++round) {
    const std::string encoded = EncodePassword(all);
    ASSERT_EQ(encoded.size(), 2 * all.size());
    for (char ch : encoded) {
      EXPECT_TRUE(ch > ' ' && ch < 0x7F && ch != '\'' && ch != '"') << int(ch);
    }
    EXPECT_EQ(DecodePassword(encoded), all);
  }
  EXPECT_EQ(DecodePassword("abc"), "");  // odd length
}

// A plain file as far as the check looks: magic, then the layout code.
std::string PlainFile(size_t size, int32_t layout_code = 2, const char* magic = "$FL2") {
  std::string bytes(size, 'd');
  bytes.replace(0, 4, magic);
  std::memcpy(bytes.data() + 64, &layout_code, 4);
  return bytes;
}

std::string WriteProtected(const std::string& path, const std::string& password,
                           const std::string& plain) {
  CryptFileStream s;
  s.Open(path, password, "w");
  s.Write(plain.data(), plain.size());
  s.Close();
  return ReadFile(path);
}

// The plain text, none when the file is refused; *refused is the number of
// the error that refused it, 0 when it opened.
std::string ReadProtected(const std::string& path, const std::string& password,
                          long* refused = nullptr) {
  CryptFileStream s;
  long number = 0;
  try {
    s.Open(path, password, "r");
  } catch (const ErrorText& e) {
    number = e.number();
  }
  if (refused) *refused = number;
  if (number != 0) return {};
  std::string out(static_cast<size_t>(s.Size()), '\0');
  out.resize(s.Read(out.data(), out.size()));
  return out;
}

// One padded pass of AES-256-ECB over the whole text, as a check on the
// pieces.
std::string OnePass(const std::string& password, const std::string& plain) {
  const std::string key = KeyOf(password);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  std::string out(plain.size() + 16, '\0');
  int n = 0, tail = 0;
  EVP_EncryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr,
                     reinterpret_cast<const unsigned char*>(key.data()), nullptr);
  EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n,
                    reinterpret_cast<const unsigned char*>(plain.data()),
                    static_cast<int>(plain.size()));
  EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + n, &tail);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(static_cast<size_t>(n + tail));
  return out;
}

// Whatever the number of threads that share the pieces, a file of any size
// is encrypted as one padded pass from start to end would, and reads back.
TEST(CryptFileStreamTest, RoundTripsMatchOnePassOnAnyNumberOfThreads) {
  TempDir dir;
  const std::string path = dir.File("p.vexa");
  for (int threads : {1, 2, 3}) {
    zcmpsFilestr::SetWorkerCount(threads);
    for (size_t size : {80u, 1023u, 1024u, (1u << 20) - 1, 1u << 20, (2u << 20) + 17}) {
      const std::string plain = PlainFile(size);
      const std::string file = WriteProtected(path, "pw", plain);
      EXPECT_EQ(file.substr(0, 36), ProtectedHeader());
      EXPECT_EQ(file.substr(36), OnePass("pw", plain)) << size << " " << threads;
      EXPECT_EQ(ReadProtected(path, "pw"), plain) << size << " " << threads;
    }
  }
  zcmpsFilestr::SetWorkerCount(-1);
}

// A password counts for its first 32 bytes. The wrong one, a damaged or cut
// file, and decrypted bytes that do not look like a plain file (whose
// layout code may be in either byte order) are refused as a wrong password;
// a file that is not there says so instead.
TEST(CryptFileStreamTest, WhatOpensAndWhatDoesNot) {
  TempDir dir;
  const std::string k = std::string(32, 'k'), path = dir.File("good.vexa");
  const std::string file = WriteProtected(path, k + "one", PlainFile(200));
  const auto made = [&](const std::string& plain) { return WriteProtected(path, "pw", plain); };
  const struct {
    const char* what;
    std::string bytes, password;
    long refused;  // the error's number; 0: opens
  } cases[] = {
      {"right password", file, k + "one", 0},
      {"same first 32 bytes", file, k + "two", 0},
      {"wrong password", file, "nope", kErrBadPassword},
      {"header length 29", std::string(1, 29) + file.substr(1), k, kErrBadPassword},
      {"other magic", file.substr(0, 8) + "ENCRYPTEDSAW" + file.substr(20), k, kErrBadPassword},
      {"header only", file.substr(0, 36), k, kErrBadPassword},
      {"ciphertext cut inside a block", file.substr(0, file.size() - 5), k, kErrBadPassword},
      {"last block gone", file.substr(0, file.size() - 16), k, kErrBadPassword},
      {"short file", file.substr(0, 7), k, kErrBadPassword},
      {"layout code swapped", made(PlainFile(100, 1 << 24)), "pw", 0},
      {"layout code 3", made(PlainFile(100, 3, "$FL3")), "pw", 0},
      {"layout code 4", made(PlainFile(100, 4)), "pw", kErrBadPassword},
      {"other plain magic", made(PlainFile(100, 2, "$FL4")), "pw", kErrBadPassword},
      {"plain file too short", made(PlainFile(100).substr(0, 79)), "pw", kErrBadPassword},
  };
  for (const auto& c : cases) {
    long refused = -1;
    ReadProtected(dir.Write("c.vexa", c.bytes), c.password, &refused);
    EXPECT_EQ(refused, c.refused) << c.what;
  }
  long refused = -1;
  ReadProtected(dir.File("absent.vexa"), "pw", &refused);
  EXPECT_EQ(refused, kErrReopen);
}

TEST(CryptFileStreamTest, AChangedCopyReplacesTheFileOnlyAtClose) {
  TempDir dir;
  const std::string path = dir.File("a.vexa");
  const std::string before = WriteProtected(path, "pw", PlainFile(300));
  for (bool close : {false, true}) {  // a stream never closed leaves the old content
    CryptFileStream s;
    s.Open(path, "pw", "r+");
    s.Seek(0, 2);
    s.Write("more", 4);
    EXPECT_EQ(ReadFile(path), before);
    if (close) s.Close();
  }
  EXPECT_EQ(ReadProtected(path, "pw"), PlainFile(300) + "more");
  // Nothing but the file itself is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  // A close that cannot write leaves an error, not a changed file.
  CryptFileStream gone;
  gone.Open(dir.File("no/such/dir.vexa"), "pw", "w");
  gone.Write("x", 1);
  EXPECT_THROW(gone.Close(), ErrorText);
}

}  // namespace
}  // namespace vexa::crypt
