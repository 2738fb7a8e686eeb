// One writer of a file at a time: a handle that writes, adds to or copies
// into a file keeps every other writer off it until it is closed; readers
// are never stopped. (The lock belongs to the open file, not the process:
// another process meets the same refusal as another handle.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "api/api_fixture.h"

namespace vexa::testing {
namespace {

// Opens "data.vexa" of the directory to change it: 0 write, 1 append, 2 a
// copy of "source.vexa".
int OpenToChange(int how, const TempDir& dir, const char* pw, int* h) {
  const std::string to = dir.File("data.vexa"), from = dir.File("source.vexa");
  if (how == 0) return OpenWrite(to, pw, h);
  if (how == 1) return OpenAppend(to, pw, h);
  return pw ? vexaOpenWriteCopyEx(to.c_str(), pw, from.c_str(), pw, h)
            : vexaOpenWriteCopy(to.c_str(), from.c_str(), h);
}

class WriterLockTest : public ::testing::TestWithParam<Form> {};

TEST_P(WriterLockTest, ASecondWriterIsRefusedUntilTheFirstCloses) {
  const Form& form = GetParam();
  TempDir dir;
  const std::string path = dir.File("data.vexa");
  ASSERT_EQ(WriteIds(path, 1, 3, form.compression, form.password), VEXA_OK);
  ASSERT_EQ(WriteIds(dir.File("source.vexa"), 7, 7, form.compression, form.password), VEXA_OK);
  for (int first = 0; first < 3; ++first) {
    for (int second = 0; second < 3; ++second) {
      SCOPED_TRACE(std::to_string(first) + " then " + std::to_string(second));
      int h = -1, other = -1;
      ASSERT_EQ(OpenToChange(first, dir, form.password, &h), VEXA_OK);
      EXPECT_EQ(OpenToChange(second, dir, form.password, &other), VEXA_E_FILE_OPEN);
      const std::string detail = LastErrorDetail();
      EXPECT_NE(detail.find("another handle or process is writing"), std::string::npos) << detail;
      EXPECT_EQ(ReadIds(path, form.password), (std::vector<int>{1, 2, 3}));
      EXPECT_EQ(vexaCloseWrite(h), VEXA_OK);  // before its commit: nothing changes
      ASSERT_EQ(OpenToChange(second, dir, form.password, &other), VEXA_OK);
      EXPECT_EQ(vexaCloseWrite(other), VEXA_OK);
    }
  }
}

// A write abandoned after cases were written leaves the file as it was (or
// absent), nothing of the library's own beside it, and no lock.
TEST_P(WriterLockTest, AnAbandonedWriteLeavesTheFileAsItWas) {
  const Form& form = GetParam();
  enum How { kOver, kNew, kAppend, kUncommitted };
  for (How how : {kOver, kNew, kAppend, kUncommitted}) {
    SCOPED_TRACE(how);
    TempDir dir;
    const std::string path = dir.File("data.vexa");
    ASSERT_EQ(how == kNew ? VEXA_OK : WriteIds(path, 1, 300, form.compression, form.password), 0);
    const std::string before = ReadFile(path);
    int h = -1;
    if (how == kAppend) {
      ASSERT_EQ(Each({OpenAppend(path, form.password, &h), AddIds(h, 301, 900)}), VEXA_OK);
    } else {
      ASSERT_EQ(Each({OpenWrite(path, form.password, &h), vexaSetVarName(h, "id", 0),
                      vexaSetCompression(h, form.compression)}), VEXA_OK);
      ASSERT_EQ(how == kUncommitted ? 0 : Each({vexaCommitHeader(h), AddIds(h, 5, 900)}), 0);
    }
    EXPECT_EQ(vexaAbandonFile(h), VEXA_OK);
    EXPECT_EQ(vexaAbandonFile(h), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(ReadFile(path), before);
    const auto files = std::distance(std::filesystem::directory_iterator(dir.path()), {});
    EXPECT_EQ(files, how == kNew ? 0 : 1);
    if (how == kNew) continue;
    ASSERT_EQ(Each({OpenAppend(path, form.password, &h), AddIds(h, 301, 301)}), VEXA_OK);
    EXPECT_EQ(vexaCloseAppend(h), VEXA_OK);
    EXPECT_EQ(ReadIds(path, form.password).size(), 301u);
    // A read handle is not given up: it stays open.
    ASSERT_EQ(OpenRead(path, form.password, &h), VEXA_OK);
    EXPECT_EQ(vexaAbandonFile(h), VEXA_E_OPENED_FOR_READ);
    EXPECT_EQ(vexaCloseRead(h), VEXA_OK);
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, WriterLockTest, ::testing::ValuesIn(kForms), kByName);

}  // namespace
}  // namespace vexa::testing
