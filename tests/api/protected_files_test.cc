// Protected files through the open calls: appending and copying with and
// without passwords (the other combinations are the combination test's and
// the open table's), the password rules, and that nothing plain stays on
// disk.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "crypt/password_crypt.h"

namespace vexa::testing {
namespace {

bool Protected(const std::string& path) {
  const std::string bytes = ReadFile(path);
  return bytes.substr(8, 12) == "ENCRYPTEDSAV" && bytes.find("$FL") == std::string::npos;
}

// Files holding a plain system file in the library's process directory,
// but for the tests' own directories.
int PlainFiles() {
  const char* tmp = std::getenv("TMP");
  if (tmp == nullptr) return -1;
  int found = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(tmp)) {
    found += e.is_regular_file() && e.path().string().find("vexaio-test-") == std::string::npos &&
             ReadFile(e.path()).find("$FL2") != std::string::npos;
  }
  return found;
}

constexpr const char* kPassword = "1234567890";  // the longest
#define OPEN(call) [](const char* out, [[maybe_unused]] const char* from, int* h) { return call; }

// While a protected file is open its plain copy has no name, and after the
// close nothing plain is left in the temporary directories.
TEST(ProtectedFilesTest, NothingPlainStaysAndOnlyTheRightPasswordOpens) {
  TempDir dir;
  const std::string plain = dir.File("plain.vexa"), secret = dir.File("secret.vexa");
  ASSERT_EQ(WriteIds(plain, 1, 3, 1), VEXA_OK);
  ASSERT_EQ(WriteIds(secret, 1, 3, 1, kPassword), VEXA_OK);
  // A protected zlib file, as other writers make them.
  const std::string secret_zlib = dir.File("secret-zlib.vexa");
  ASSERT_EQ(WriteIds(secret_zlib, 1, 3, 2), VEXA_OK);
  Protect(secret_zlib, ReadFile(secret_zlib), kPassword);
  struct Case {
    const char* what;
    const std::string& from;  // the file appended to (as a copy) or the dictionary's
    bool append;
    int (*open)(const char* out, const char* from, int* h);
    const char* read_with;  // password that reads the result, null for plain
    std::vector<int> ids;   // after cases 7..8 were added
  } cases[] = {
      {"append protected zlib", secret_zlib, true, OPEN(vexaOpenAppendEx(out, kPassword, h)),
       kPassword, {1, 2, 3, 7, 8}},
      {"append plain with a password", plain, true, OPEN(vexaOpenAppendEx(out, "ignored", h)),
       nullptr, {1, 2, 3, 7, 8}},
      {"copy plain to protected", plain, false, OPEN(vexaOpenWriteCopyExFile(out, "new", from, h)),
       "new", {7, 8}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = dir.File("out" + std::to_string(n++) + ".vexa");
    int h = -1;
    if (c.append) std::filesystem::copy_file(c.from, out);
    ASSERT_EQ(c.open(out.c_str(), c.from.c_str(), &h), VEXA_OK);
    const int commit = vexaCommitHeader(h);  // append handles are committed already
    EXPECT_TRUE(commit == VEXA_OK || commit == VEXA_E_HEADER_COMMITTED);
    EXPECT_EQ(AddIds(h, 7, 8), VEXA_OK);
    EXPECT_EQ(PlainFiles(), 0);
    EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
    EXPECT_EQ(PlainFiles(), 0);
    EXPECT_EQ(Protected(out), c.read_with != nullptr);
    EXPECT_EQ(ReadIds(out, c.read_with), c.ids);
    EXPECT_TRUE(!c.read_with || ReadIds(out) == std::vector<int>{-VEXA_E_NO_PASSWORD});
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3 + n);
  int h = -1;
  // A password for a plain file is dropped; the encoded form of the right
  // password opens a protected one; a wrong one changes nothing. The
  // refused passwords of a new file are rows of the open table.
  EXPECT_EQ(ReadIds(plain, "anything"), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ReadIds(secret, crypt::EncodePassword(kPassword).c_str()), (std::vector<int>{1, 2, 3}));
  const std::string before = ReadFile(secret);
  for (const char* wrong : {"123456789", "12345678901", "x", "1234567890 ", "\xff"}) {
    EXPECT_EQ(ReadIds(secret, wrong), std::vector<int>{-VEXA_E_BAD_PASSWORD}) << wrong;
    EXPECT_EQ(vexaOpenAppendEx(secret.c_str(), wrong, &h), VEXA_E_BAD_PASSWORD) << wrong;
  }
  EXPECT_EQ(vexaOpenAppend(secret.c_str(), &h), VEXA_E_NO_PASSWORD);
  EXPECT_EQ(vexaOpenWriteEx(dir.File("none.vexa").c_str(), nullptr, &h), VEXA_E_NO_PASSWORD);
  EXPECT_EQ(ReadFile(secret), before);
  EXPECT_EQ(ReadIds(secret, kPassword), (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace vexa::testing
