// Protected files through the open calls: appending and copying with and
// without passwords (the other combinations are the combination test's and
// the open table's), the password rules, writes and appends through a
// symbolic link, and that no temporary space is needed.
#include <filesystem>
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "crypt/password_crypt.h"
#include "io/temp_directories.h"

namespace vexa::testing {
namespace {

namespace fs = std::filesystem;

bool Protected(const std::string& path) {
  const std::string bytes = ReadFile(path);
  return bytes.substr(8, 12) == "ENCRYPTEDSAV" && bytes.find("$FL") == std::string::npos;
}

constexpr const char* kPassword = "1234567890";  // the longest
#define OPEN(call) [](const char* out, [[maybe_unused]] const char* from, int* h) { return call; }

// No temporary space is used: every kind of open of a protected file works
// while the temporary location names a folder that does not exist, and
// nothing plain is ever written.
TEST(ProtectedFilesTest, NothingPlainIsWrittenAndOnlyTheRightPasswordOpens) {
  TempDir dir;
  RemoveTempDirectories(false);  // made again from the settings below, if asked for
  const std::string missing = dir.File("missing");
  const ScopedEnv vexa_tmp("VEXATMPDIR", missing.c_str()), tmp("TMP", missing.c_str());
  const std::string plain = dir.File("plain.vexa"), secret = dir.File("secret.vexa");
  ASSERT_EQ(WriteIds(plain, 1, 3, 1), VEXA_OK);
  ASSERT_EQ(WriteIds(secret, 1, 3, 1, kPassword), VEXA_OK);
  // A protected zlib file, as other writers make them.
  const std::string secret_zlib = dir.File("secret-zlib.vexa");
  ASSERT_EQ(WriteIds(secret_zlib, 1, 3, 2, kPassword), VEXA_OK);
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
    if (c.append) fs::copy_file(c.from, out);
    ASSERT_EQ(c.open(out.c_str(), c.from.c_str(), &h), VEXA_OK);
    const int commit = vexaCommitHeader(h);  // append handles are committed already
    EXPECT_TRUE(commit == VEXA_OK || commit == VEXA_E_HEADER_COMMITTED);
    EXPECT_EQ(AddIds(h, 7, 8), VEXA_OK);
    EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);
    EXPECT_EQ(Protected(out), c.read_with != nullptr);
    EXPECT_EQ(ReadIds(out, c.read_with), c.ids);
    EXPECT_TRUE(!c.read_with || ReadIds(out) == std::vector<int>{-VEXA_E_NO_PASSWORD});
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 3 + n);
  int h = -1;
  // The encoded form of the right password opens a protected one; a wrong
  // one changes nothing. (A password for a plain file is dropped: the case
  // above and the open table; the refused passwords of a new file are rows
  // of the open table.)
  EXPECT_EQ(ReadIds(secret, crypt::EncodePassword(kPassword).c_str()), (std::vector<int>{1, 2, 3}));
  const std::string before = ReadFile(secret);
  for (const char* wrong : {"123456789", "12345678901", "x", "1234567890 ", "\xff"}) {
    EXPECT_EQ(ReadIds(secret, wrong), std::vector<int>{-VEXA_E_BAD_PASSWORD}) << wrong;
    EXPECT_EQ(vexaOpenAppendEx(secret.c_str(), wrong, &h), VEXA_E_BAD_PASSWORD) << wrong;
  }
  EXPECT_EQ(vexaOpenAppend(secret.c_str(), &h), VEXA_E_NO_PASSWORD);
  EXPECT_EQ(ReadFile(secret), before);
  EXPECT_EQ(ReadIds(secret, kPassword), (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(fs::exists(missing));
  RemoveTempDirectories(false);
}

// A protected file written or added to through a symbolic link: the link
// stays and the file it names changes (keeping its mode: the replace test's).
TEST(ProtectedFilesTest, WritesAndAppendsThroughALinkKeepTheLink) {
  TempDir dir;
  const std::string target = dir.File("target.vexa"), link = dir.File("link.vexa");
  ASSERT_EQ(WriteIds(target, 1, 2, 1, kPassword), VEXA_OK);
  fs::create_symlink(target, link);
  int h = -1;
  ASSERT_EQ(Each({vexaOpenAppendEx(link.c_str(), kPassword, &h), AddIds(h, 3, 4),
                  vexaCloseAppend(h)}), VEXA_OK);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadIds(target, kPassword), (std::vector<int>{1, 2, 3, 4}));
  ASSERT_EQ(WriteIds(link, 5, 6, 1, kPassword), VEXA_OK);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(Protected(target));
  EXPECT_EQ(ReadIds(target, kPassword), (std::vector<int>{5, 6}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
}

}  // namespace
}  // namespace vexa::testing
