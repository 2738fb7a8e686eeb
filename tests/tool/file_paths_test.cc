// Output paths and the files the tool makes for itself: what is refused,
// and that input from a pipe is read once into a private scratch file that
// goes away with it.
#include "file_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace vexa::tool {
namespace {

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

TEST(FilePathsTest, OutputRefusals) {
  testing::TempDir dir;
  const std::string existing = dir.Write("old.vexa", "precious");
  const std::string fifo = dir.File("fifo.vexa");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = dir.File("link.vexa");
  ASSERT_EQ(symlink(existing.c_str(), link.c_str()), 0);
  struct Case {
    std::string path;
    bool force;
    const char* refusal;  // a piece of it, or "" when the path may be written
  } cases[] = {
      {dir.File("new.vexa"), false, ""},
      {dir.File("NEW.VEXA"), false, ""},
      {existing, false, "exists (--force replaces it)"},
      {existing, true, ""},
      {dir.File("dict.json"), false, "does not end in .vexa"},
      {dir.File(".vexa"), false, "does not end in .vexa"},
      {dir.File("dict.json"), true, ""},
      {fifo, true, "not a regular file"},
      {link, true, "a symbolic link"},
      {"/dev/stdout", true, "a symbolic link"},
      {dir.path(), true, "Is a directory"},
  };
  for (const Case& c : cases) {
    const std::string got = OutputRefusal(c.path, ".vexa", c.force);
    EXPECT_TRUE(*c.refusal ? got.find(c.refusal) != std::string::npos : got.empty())
        << c.path << ": " << got;
  }
}

TEST(FilePathsTest, InputFromAPipeIsReadOnceIntoAFile) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string bytes = "a,b\n1,2\n";
  ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fds[1]);
  std::string copy;
  {
    InputFile in;
    std::string error;
    ASSERT_TRUE(in.Open("/dev/fd/" + std::to_string(fds[0]), &error)) << error;
    copy = in.path();
    EXPECT_NE(copy, "/dev/fd/" + std::to_string(fds[0]));
    EXPECT_EQ(testing::ReadFile(copy), bytes);
    struct stat st {};
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
  close(fds[0]);
  EXPECT_FALSE(Exists(copy));

  testing::TempDir dir;
  const std::string plain = dir.Write("in.csv", bytes);
  InputFile in;
  std::string error;
  ASSERT_TRUE(in.Open(plain, &error));
  EXPECT_EQ(in.path(), plain);  // a file is read where it is
}

}  // namespace
}  // namespace vexa::tool
