// Protected files through the open calls: every combination of writing,
// appending and copying with and without passwords as one table, the
// password rules, and what stays on disk.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "crypt/password_crypt.h"

namespace vexa::testing {
namespace {

// Adds cases first..last (one numeric variable "id") to an open handle.
int AddCases(int h, int first, int last) {
  int code = VEXA_OK;
  for (int i = first; i <= last && code == VEXA_OK; ++i) {
    code = Each({vexaSetValueNumeric(h, 1, i), vexaCommitCaseRecord(h)});
  }
  return code;
}

// The ids of a file opened with the password (none: the plain open), or
// the open's code as the only element when it fails.
std::vector<int> Ids(const std::string& path, const char* password) {
  int h = -1;
  const int code = password ? vexaOpenReadEx(path.c_str(), password, &h)
                            : vexaOpenRead(path.c_str(), &h);
  if (code != VEXA_OK) return {-code};
  std::vector<int> ids;
  double id = 0;
  while (vexaReadCaseRecord(h) == VEXA_OK && vexaGetValueNumeric(h, 1, &id) == VEXA_OK) {
    ids.push_back(static_cast<int>(id));
  }
  vexaCloseRead(h);
  return ids;
}

// Writes cases 1..3, protected when a password is given.
void WriteFile(const std::string& path, const char* password, int compression = 1) {
  int h = -1;
  ASSERT_EQ(password ? vexaOpenWriteEx(path.c_str(), password, &h)
                     : vexaOpenWrite(path.c_str(), &h),
            VEXA_OK);
  ASSERT_EQ(Each({vexaSetVarName(h, "id", 0), vexaSetCompression(h, compression),
                  vexaCommitHeader(h), AddCases(h, 1, 3)}),
            VEXA_OK);
  ASSERT_EQ(vexaCloseWrite(h), VEXA_OK);
}

bool Protected(const std::string& path) {
  const std::string bytes = ReadFile(path);
  return bytes.substr(8, 12) == "ENCRYPTEDSAV" && bytes.find("$FL") == std::string::npos;
}

TEST(ProtectedFilesTest, EveryOpenCombination) {
  TempDir dir;
  const std::string plain = dir.File("plain.vexa"), secret = dir.File("secret.vexa");
  WriteFile(plain, nullptr);
  WriteFile(secret, "pw", 2);  // zlib asked for: byte-code written
  struct Case {
    const char* what;
    std::function<int(const std::string& out, int* h)> open;
    const char* read_with;  // password that reads the result, null for plain
    std::vector<int> ids;   // after cases 7..8 were added
  } cases[] = {
      {"append protected", [&](const std::string& out, int* h) {
         std::filesystem::copy_file(secret, out);
         return vexaOpenAppendEx(out.c_str(), "pw", h);
       }, "pw", {1, 2, 3, 7, 8}},
      {"append plain with a password", [&](const std::string& out, int* h) {
         std::filesystem::copy_file(plain, out);
         return vexaOpenAppendEx(out.c_str(), "ignored", h);
       }, nullptr, {1, 2, 3, 7, 8}},
      {"copy protected to protected", [&](const std::string& out, int* h) {
         return vexaOpenWriteCopyEx(out.c_str(), "new", secret.c_str(), "pw", h);
       }, "new", {7, 8}},
      {"copy plain to protected", [&](const std::string& out, int* h) {
         return vexaOpenWriteCopyExFile(out.c_str(), "new", plain.c_str(), h);
       }, "new", {7, 8}},
      {"copy protected to plain", [&](const std::string& out, int* h) {
         return vexaOpenWriteCopyExDict(out.c_str(), secret.c_str(), "pw", h);
       }, nullptr, {7, 8}},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string out = dir.File("out" + std::to_string(n++) + ".vexa");
    int h = -1;
    ASSERT_EQ(c.open(out, &h), VEXA_OK) << c.what;
    const int commit = vexaCommitHeader(h);  // append handles are committed already
    EXPECT_TRUE(commit == VEXA_OK || commit == VEXA_E_HEADER_COMMITTED) << c.what;
    EXPECT_EQ(AddCases(h, 7, 8), VEXA_OK) << c.what;
    EXPECT_EQ(vexaCloseWrite(h), VEXA_OK) << c.what;
    EXPECT_EQ(Protected(out), c.read_with != nullptr) << c.what;
    EXPECT_EQ(Ids(out, c.read_with), c.ids) << c.what;
    if (c.read_with) {
      EXPECT_EQ(Ids(out, nullptr), std::vector<int>{-VEXA_E_NO_PASSWORD}) << c.what;
    }
  }
  EXPECT_EQ(Ids(secret, "pw"), (std::vector<int>{1, 2, 3}));
  int h = -1, compression = -1;
  ASSERT_EQ(vexaOpenReadEx(secret.c_str(), "pw", &h), VEXA_OK);
  EXPECT_EQ(Each({vexaGetCompression(h, &compression), vexaCloseRead(h)}), VEXA_OK);
  EXPECT_EQ(compression, 1);
  // A password for a plain file is dropped; the encoded form of the right
  // password opens a protected one.
  EXPECT_EQ(Ids(plain, "anything"), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Ids(secret, crypt::EncodePassword("pw").c_str()), (std::vector<int>{1, 2, 3}));
}

TEST(ProtectedFilesTest, PasswordRulesAndWrongPasswords) {
  TempDir dir;
  const std::string path = dir.File("p.vexa");
  int h = -1;  // the refused passwords of a new file are rows of the open table
  EXPECT_EQ(vexaOpenWriteEx(path.c_str(), nullptr, &h), VEXA_E_NO_PASSWORD);
  WriteFile(path, "1234567890");
  const std::string before = ReadFile(path);
  for (const char* wrong : {"123456789", "12345678901", "x", "1234567890 ", "\xff"}) {
    EXPECT_EQ(Ids(path, wrong), std::vector<int>{-VEXA_E_BAD_PASSWORD}) << wrong;
    EXPECT_EQ(vexaOpenAppendEx(path.c_str(), wrong, &h), VEXA_E_BAD_PASSWORD) << wrong;
  }
  EXPECT_EQ(vexaOpenAppend(path.c_str(), &h), VEXA_E_NO_PASSWORD);
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(Ids(path, "1234567890"), (std::vector<int>{1, 2, 3}));
}

// While a protected file is open its plain copy has no name, and after the
// close nothing plain is left in the temporary directories.
TEST(ProtectedFilesTest, NothingPlainStaysOnDisk) {
  TempDir dir;
  const std::string path = dir.File("p.vexa");
  WriteFile(path, "pw");
  int h = -1;
  ASSERT_EQ(vexaOpenAppendEx(path.c_str(), "pw", &h), VEXA_OK);
  ASSERT_EQ(AddCases(h, 4, 4), VEXA_OK);
  const char* tmp = std::getenv("TMP");
  ASSERT_NE(tmp, nullptr);  // the library's process directory
  auto plain_files = [&] {
    int found = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(tmp)) {
      found += e.is_regular_file() && ReadFile(e.path()).find("$FL2") != std::string::npos;
    }
    return found;
  };
  EXPECT_EQ(plain_files(), 0);
  EXPECT_EQ(vexaCloseAppend(h), VEXA_OK);
  EXPECT_EQ(plain_files(), 0);
  EXPECT_EQ(Ids(path, "pw"), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace vexa::testing
