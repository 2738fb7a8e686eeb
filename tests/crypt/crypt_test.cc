// Protected files: the key derivation against an independent computation,
// the password's encoded form, the protected stream's round trips against
// one pass of the cipher, its refusals, and reads, writes, cuts and undo at
// any position against a plain model.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <random>
#include <string>

#include "crypt/cipher.h"
#include "crypt/crypt_file_stream.h"
#include "crypt/password_crypt.h"
#include "crypt/protected_header.h"
#include "support/open_bytes.h"  // ErrorNumberOf
#include "support/sysfile_builder.h"
#include "support/temp_dir.h"

namespace vexa::crypt {
namespace {

using testing::ReadFile;
using testing::SysFileBuilder;
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
  for (size_t i = 80; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  bytes.replace(0, 4, magic);
  std::memcpy(bytes.data() + 64, &layout_code, 4);
  return bytes;
}

// Written in two pieces, so that the second starts inside a block.
std::string WriteProtected(const std::string& path, const std::string& password,
                           const std::string& plain) {
  CryptFileStream s;
  s.Open(path, password, "w");
  const size_t first = plain.size() / 3;
  s.Write(plain.data(), first);
  s.Write(plain.data() + first, plain.size() - first);
  s.Close();
  return ReadFile(path);
}

// The plain text; the open raises the error that refuses the file.
std::string ReadProtected(const std::string& path, const std::string& password) {
  CryptFileStream s;
  s.Open(path, password, "r");
  std::string out(static_cast<size_t>(s.Size()), '\0');
  out.resize(s.Read(out.data(), out.size()));
  return out;
}

// One padded pass of AES-256-ECB over the whole text, as a check on the
// blocks written one by one.
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

// Sizes around a block, the pieces a write encrypts at once and the
// stream's buffer: the file is what one padded pass makes, and reads back.
TEST(CryptFileStreamTest, RoundTripsMatchOnePass) {
  TempDir dir;
  const std::string path = dir.File("p.vexa");
  for (size_t size : {80u, 95u, 96u, 97u, (256u << 10) - 1, (256u << 10) + 17, 4190208u + 1}) {
    const std::string plain = PlainFile(size);
    const std::string file = WriteProtected(path, "pw", plain);
    EXPECT_EQ(file.substr(0, 36), ProtectedHeader());
    EXPECT_EQ(file.substr(36), OnePass("pw", plain)) << size;
    EXPECT_EQ(ReadProtected(path, "pw"), plain) << size;
  }
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
  std::string bad_padding = file;
  bad_padding.replace(bad_padding.size() - 16, 16, file.substr(36, 16));  // a whole block
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
      {"last block without padding", bad_padding, k, kErrBadPassword},
      {"short file", file.substr(0, 7), k, kErrBadPassword},
      {"layout code swapped", made(PlainFile(100, 1 << 24)), "pw", 0},
      {"layout code 3", made(PlainFile(100, 3, "$FL3")), "pw", 0},
      {"layout code 4", made(PlainFile(100, 4)), "pw", kErrBadPassword},
      {"other plain magic", made(PlainFile(100, 2, "$FL4")), "pw", kErrBadPassword},
      {"plain file too short", made(PlainFile(100).substr(0, 79)), "pw", kErrBadPassword},
  };
  for (const auto& c : cases) {
    const std::string path = dir.Write("c.vexa", c.bytes);
    EXPECT_EQ(testing::ErrorNumberOf([&] { ReadProtected(path, c.password); }), c.refused) << c.what;
  }
  EXPECT_EQ(testing::ErrorNumberOf([&] { ReadProtected(dir.File("absent.vexa"), "pw"); }),
            kErrReopen);
}

// A system file of both byte orders under random reads, writes (again
// inside the last partial block, past the end, across blocks) and cuts
// through the protected file, against the same changes to its plain bytes:
// every read agrees, the file written out is what one pass of the cipher
// makes of the plain bytes, and undo puts back the old file byte for byte.
TEST(CryptFileStreamTest, ChangesAtAnyPositionMatchThePlainFile) {
  TempDir dir;
  const std::string path = dir.File("r.vexa");
  std::mt19937 random(29);
  const auto below = [&](int64_t n) {
    return std::uniform_int_distribution<int64_t>(0, std::max<int64_t>(n - 1, 0))(random);
  };
  for (bool big : {false, true}) {
    SysFileBuilder built(big);
    built.Header().NumericVar("x").StringVar("s", 11).End();
    for (int c = 0; c < 300; ++c) built.CaseNumber(c).CaseText("t" + std::to_string(c), 11);
    std::string model = built.Bytes();
    const std::string before = WriteProtected(path, "pw", model);
    CryptFileStream s;
    s.Open(path, "pw", "r+");
    VEXA_File& file = Use(s.SharedFile());
    file.KeepUndo();
    for (int op = 0; op < 400; ++op) {
      SCOPED_TRACE(::testing::Message() << (big ? "big" : "little") << " op " << op);
      if (op == 200) file.KeepUndo();  // keeping again forgets nothing kept
      const int64_t size = static_cast<int64_t>(model.size());
      // Near the end most of the time, where the last block is kept.
      const int64_t at = op % 3 ? size - below(40) : below(size + 40);
      const size_t n = static_cast<size_t>(op % 5 ? below(40) : below(70000));
      if (op % 4 == 0) {
        std::string got(n, '\0');
        got.resize(file.ReadAt(got.data(), n, at));
        EXPECT_EQ(got, at < size ? model.substr(static_cast<size_t>(at), n) : "");
      } else if (op % 4 == 1 && at > 80) {
        file.Truncate(at);
        model.resize(static_cast<size_t>(at), '\0');
      } else {
        const std::string bytes(n, static_cast<char>('a' + op % 26));
        file.WriteAt(bytes.data(), n, at);
        if (static_cast<size_t>(at) > model.size()) model.resize(static_cast<size_t>(at), '\0');
        model.replace(static_cast<size_t>(at), n, bytes);
      }
      ASSERT_EQ(file.FileSize(), static_cast<int64_t>(model.size()));
      if (op % 50 == 49) {
        file.WriteOut();
        ASSERT_EQ(ReadFile(path), ProtectedHeader() + OnePass("pw", model));
      }
    }
    if (big) {  // closed with the change never committed: put back, and closed well
      EXPECT_NO_THROW(file.Close());
      EXPECT_EQ(ReadFile(path), before);
      char byte;
      EXPECT_EQ(file.ReadAt(&byte, 1, 0), 0u);  // a closed file reads nothing
      continue;
    }
    EXPECT_TRUE(file.Rollback());
    EXPECT_EQ(ReadFile(path), before);
    std::string back(model.size() + 16, '\0');
    back.resize(file.ReadAt(back.data(), back.size(), 0));
    EXPECT_EQ(back, built.Bytes());
  }
}

}  // namespace
}  // namespace vexa::crypt
