// Protected files: the key derivation against an independent computation,
// the password's encoded form, the protected stream's round trips and
// refusals, and where the decrypted copy lives.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "crypt/cipher.h"
#include "crypt/crypt_file_stream.h"
#include "crypt/password_crypt.h"
#include "crypt/stat_crypt.h"
#include "io/temp_directories.h"
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
  EVP_MAC* mac = EVP_MAC_fetch(nullptr, "CMAC", nullptr);
  char cipher[] = "AES-256-CBC";
  OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_CIPHER, cipher, 0),
                         OSSL_PARAM_construct_end()};
  std::string key;
  for (unsigned char i = 1; i <= 2; ++i) {
    const std::string input = std::string{0, 0, 0, static_cast<char>(i)} + label + '\0' +
                              context + std::string{0, 0, 1, 0};
    EVP_MAC_CTX* ctx = EVP_MAC_CTX_new(mac);
    unsigned char out[16];
    size_t n = 0;
    EXPECT_EQ(EVP_MAC_init(ctx, reinterpret_cast<const unsigned char*>(password.data()), 32,
                           params), 1);
    EVP_MAC_update(ctx, reinterpret_cast<const unsigned char*>(input.data()), input.size());
    EVP_MAC_final(ctx, out, &n, sizeof out);
    EVP_MAC_CTX_free(ctx);
    key.append(reinterpret_cast<char*>(out), n);
  }
  EVP_MAC_free(mac);
  return key;
}

std::string KeyOf(const std::string& password) {
  Key key;
  EXPECT_TRUE(DeriveKey(password, key));
  return std::string(reinterpret_cast<const char*>(key.data()), kKeyBytes);
}

TEST(KeyDerivationTest, MatchesTheCounterModeKdfComputedFromTheMac) {
  const std::vector<unsigned char> label = {
      0x23, 0x7a, 0x95, 0x05, 0xb6, 0x87, 0x7c, 0x75, 0x7d, 0xcc, 0x24, 0x2a, 0x43, 0x89, 0x36, 0x5e,
      0x1e, 0x28, 0x7e, 0x53, 0x56, 0x3b, 0x5b, 0xe7, 0x53, 0x18, 0x49, 0x2e, 0x6b, 0x7e, 0x4a, 0x61};
  const std::vector<unsigned char> context = {
      0x35, 0x54, 0x4e, 0xb0, 0x37, 0x89, 0xd1, 0x46, 0x24, 0x52, 0x2f, 0xcc, 0x72, 0x4a, 0xe3, 0x20,
      0x38, 0xa2, 0xa1, 0xfe, 0x0f, 0x4e, 0x14, 0xce, 0xfc, 0xb1, 0xe6, 0x2b, 0x0e, 0x1a, 0x59, 0xf7};
  const std::string l(label.begin(), label.end()), c(context.begin(), context.end());
  for (const std::string& password : {std::string("secret"), std::string(40, 'p'), std::string()}) {
    EXPECT_EQ(KeyOf(password), IndependentKey(password.substr(0, 32), l, c)) << password;
  }
  // Only the first 32 bytes count.
  EXPECT_EQ(KeyOf(std::string(32, 'x') + "tail"), KeyOf(std::string(32, 'x') + "other"));
  EXPECT_NE(KeyOf("secret"), KeyOf("Secret"));
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
  EXPECT_EQ(EncodePassword(""), "");
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
  EXPECT_TRUE(s.Open(path, password, "w"));
  s.Write(plain.data(), plain.size());
  s.Close();
  return ReadFile(path);
}

std::string ReadProtected(const std::string& path, const std::string& password, bool* ok) {
  CryptFileStream s;
  *ok = s.Open(path, password, "r");
  if (!*ok) return {};
  std::string out(static_cast<size_t>(s.Size()), '\0');
  out.resize(s.Read(out.data(), out.size()));
  return out;
}

TEST(CryptFileStreamTest, RoundTripsOfEverySizeAndTheirLengths) {
  TempDir dir;
  const std::string path = dir.File("p.vexa");
  for (size_t size : {80u, 96u, 100u, 1023u, 1024u, 1025u, 5000u}) {
    const std::string plain = PlainFile(size);
    const std::string file = WriteProtected(path, "pw", plain);
    EXPECT_EQ(file.size(), 36 + 16 * (size / 16 + 1)) << size;
    EXPECT_EQ(file.substr(8, 12), "ENCRYPTEDSAV");
    EXPECT_EQ(file.find("$FL2"), std::string::npos);
    bool ok = false;
    EXPECT_EQ(ReadProtected(path, "pw", &ok), plain) << size;
    EXPECT_TRUE(ok);
  }
}

TEST(CryptFileStreamTest, WhatOpensAndWhatDoesNot) {
  TempDir dir;
  const std::string good = dir.File("good.vexa");
  const std::string plain = PlainFile(200);
  const std::string file = WriteProtected(good, std::string(32, 'k') + "one", plain);
  struct Case {
    const char* what;
    std::string bytes;
    std::string password;
    bool opens;
  } cases[] = {
      {"right password", file, std::string(32, 'k') + "one", true},
      {"same first 32 bytes", file, std::string(32, 'k') + "two", true},
      {"wrong password", file, "nope", false},
      {"header length 29", std::string(1, 29) + file.substr(1), "k", false},
      {"other magic", file.substr(0, 8) + "ENCRYPTEDSAW" + file.substr(20), std::string(32, 'k'), false},
      {"header only", file.substr(0, 36), std::string(32, 'k'), false},
      {"ciphertext cut inside a block", file.substr(0, file.size() - 5), std::string(32, 'k'), false},
      {"last block gone", file.substr(0, file.size() - 16), std::string(32, 'k'), false},
      {"short file", file.substr(0, 7), std::string(32, 'k'), false},
  };
  for (const Case& c : cases) {
    bool ok = false;
    const std::string back = ReadProtected(dir.Write("c.vexa", c.bytes), c.password, &ok);
    EXPECT_EQ(ok, c.opens) << c.what;
    if (c.opens) {
      EXPECT_EQ(back, plain) << c.what;
    }
  }
  // Decrypted bytes must look like a plain file; the layout code may be in
  // either byte order.
  struct Plain {
    std::string bytes;
    bool opens;
  } plains[] = {{PlainFile(100, 1 << 24), true}, {PlainFile(100, 3, "$FL3"), true},
                {PlainFile(100, 4), false},      {PlainFile(100, 2, "$FL4"), false},
                {PlainFile(100).substr(0, 79), false}};
  for (const Plain& p : plains) {
    bool ok = false;
    WriteProtected(good, "pw", p.bytes);
    ReadProtected(good, "pw", &ok);
    EXPECT_EQ(ok, p.opens) << p.bytes.substr(0, 4) << " " << p.bytes.size();
  }
}

TEST(CryptFileStreamTest, AChangedCopyReplacesTheFileOnlyAtClose) {
  TempDir dir;
  const std::string path = dir.File("a.vexa");
  const std::string before = WriteProtected(path, "pw", PlainFile(300));
  {
    CryptFileStream s;
    ASSERT_TRUE(s.Open(path, "pw", "r+"));
    s.Seek(0, 2);
    s.Write("more", 4);
  }  // never closed: the old content stays
  EXPECT_EQ(ReadFile(path), before);
  CryptFileStream s;
  ASSERT_TRUE(s.Open(path, "pw", "r+"));
  s.Seek(0, 2);
  s.Write("more", 4);
  EXPECT_EQ(ReadFile(path), before);
  s.Close();
  bool ok = false;
  EXPECT_EQ(ReadProtected(path, "pw", &ok), PlainFile(300) + "more");
  // Nothing but the file itself is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  // A close that cannot write leaves an error, not a changed file.
  CryptFileStream gone;
  ASSERT_TRUE(gone.Open(dir.File("no/such/dir.vexa"), "pw", "w"));
  gone.Write("x", 1);
  EXPECT_THROW(gone.Close(), ErrorText);
}

// The copy is private and leaves no name behind; the process directory is
// closed to others, and the temporary names follow the configured bases.
TEST(TempDirectoriesTest, PrivateCopiesAndNamesInTurn) {
  RemoveTempDirectories(false);  // before the test's folders, which go under TMP
  TempDir a, b;
  const char* saved = std::getenv("VEXATMPDIR");
  const std::string saved_value = saved ? saved : "";
  ::setenv("VEXATMPDIR", (a.path() + ";" + b.path() + "/").c_str(), 1);
  ::setenv("TMP", "before", 1);
  const std::string first = TempFileName("decryption");
  const std::string second = TempFileName("x");
  const std::string pid = std::to_string(::getpid());
  EXPECT_EQ(first.substr(0, first.rfind('/') + 1), a.path() + "/vexa" + pid + "/");
  EXPECT_EQ(second.substr(0, second.rfind('/') + 1), b.path() + "/vexa" + pid + "/");
  EXPECT_EQ(first.substr(first.rfind('/') + 1, 9), "decrypti.");
  EXPECT_EQ(std::getenv("TMP"), a.path() + "/vexa" + pid);
  struct stat st;
  ASSERT_EQ(::stat((a.path() + "/vexa" + pid).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  const std::string path = a.File("s.vexa");
  WriteProtected(path, "pw", PlainFile(100));
  CryptFileStream s;
  ASSERT_TRUE(s.Open(path, "pw", "r"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(a.path() + "/vexa" + pid), {}), 0);
  s.Close();

  RemoveTempDirectories(false);
  EXPECT_FALSE(std::filesystem::exists(a.path() + "/vexa" + pid));
  EXPECT_STREQ(std::getenv("TMP"), "before");
  if (saved) {
    ::setenv("VEXATMPDIR", saved_value.c_str(), 1);
  } else {
    ::unsetenv("VEXATMPDIR");
  }
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

// Cut into pieces and spread over threads, a file is still encrypted as one
// pass from start to end would, and decrypts back; empty input, a wrong
// password and a damaged length fail.
TEST(StatCryptTest, PiecesOnAnyNumberOfThreadsMatchOnePass) {
  TempDir dir;
  for (size_t size : {80u, (1u << 20) - 1, 1u << 20, (2u << 20) + 17}) {
    const std::string plain = PlainFile(size);
    const std::string expected = std::string(36, 'h') + OnePass("pw", plain);
    for (int threads : {1, 2, 3}) {
      VEXA_File source, cipher, back;
      ASSERT_TRUE(source.Open(dir.Write("plain", plain), "r"));
      ASSERT_TRUE(cipher.Open(dir.Write("cipher", std::string(36, 'h')), "r+"));
      ASSERT_EQ(EncryptFile("pw", source, cipher, 36, threads), static_cast<int64_t>(size));
      ASSERT_EQ(ReadFile(dir.File("cipher")), expected) << size << " " << threads;
      ASSERT_TRUE(back.Open(dir.Write("back", std::string(size + 99, 'x')), "r+"));
      EXPECT_EQ(DecryptFile("pw", cipher, 36, back, threads), static_cast<int64_t>(size));
      EXPECT_EQ(ReadFile(dir.File("back")), plain) << size << " " << threads;
      EXPECT_EQ(DecryptFile("other", cipher, 36, back, threads), 0);
      EXPECT_EQ(DecryptFile("pw", cipher, 37, back, threads), 0);
    }
  }
  VEXA_File empty, out;
  ASSERT_TRUE(empty.Open(dir.Write("empty", ""), "r"));
  ASSERT_TRUE(out.Open(dir.File("out"), "w"));
  EXPECT_EQ(EncryptFile("pw", empty, out, 0, 2), 0);
  EXPECT_EQ(DecryptFile("pw", empty, 0, out, 2), 0);
}

}  // namespace
}  // namespace vexa::crypt
