// The process's temporary directories cannot be turned against it through
// a base directory others may write in: names planted in the way of its
// own directory, a directory renamed away and replaced by a link, a forked
// child that ends; and they do not pile up after processes that were
// killed.
#include "io/temp_directories.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "support/errors.h"
#include "support/temp_dir.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Makes the directories again, in `base` alone; puts VEXATMPDIR back and
// removes them at the end.
class TempDirectoriesTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveTempDirectories(false); }
  void TearDown() override { RemoveTempDirectories(false); }
  // The directory that holds the next temporary file, as a real path.
  static std::string DirectoryOfNextFile() {
    const std::string name = TempFileName("t");
    return fs::canonical(fs::path(name).parent_path()).string();
  }
  static mode_t Mode(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }

  TempDir base_, victim_;
  const testing::ScopedEnv base_only_{"VEXATMPDIR", base_.path().c_str()};
  const std::string own_ = base_.File("vexa" + std::to_string(::getpid()));
};

// Names in the way of "vexa<pid>" (a link to a folder of the user's, a
// directory of the user's open to others, another user's directory) are
// passed by for a fresh private directory and left as they were; a
// directory renamed away after its making and replaced by a link is still
// the one used, and emptied through its descriptor: the link and the
// folder it points at stay.
TEST_F(TempDirectoriesTest, NamesPlantedInTheWayAreNeitherUsedNorFollowed) {
  victim_.Write("precious", "data");
  const std::string v = victim_.path();
  const std::function<bool()> plants[] = {
      [&] { return ::symlink(v.c_str(), own_.c_str()) == 0; },
      [&] { return ::mkdir(own_.c_str(), 0700) == 0 && ::chmod(own_.c_str(), 0777) == 0; },
      [&] {
        return ::geteuid() == 0 && (::mkdir(own_.c_str(), 0700) | ::chown(own_.c_str(), 1, 1)) == 0;
      },
  };
  for (const auto& plant : plants) {
    RemoveTempDirectories(false);
    if (!plant()) continue;
    const mode_t planted_mode = Mode(own_);
    const std::string used = DirectoryOfNextFile();
    EXPECT_EQ(used.rfind(own_ + ".", 0), 0u) << used;
    EXPECT_EQ(Mode(used), 0700u);
    RemoveTempDirectories(false);
    EXPECT_EQ(Mode(own_), planted_mode);
    fs::remove(own_);
  }

  ASSERT_EQ(DirectoryOfNextFile(), own_);
  fs::create_directories(own_ + "/sub");  // what a child pointed at TMP leaves
  { std::ofstream(own_ + "/sub/left") << "x"; }
  const std::string moved = base_.File("moved");
  ASSERT_EQ(::rename(own_.c_str(), moved.c_str()) | ::symlink(v.c_str(), own_.c_str()), 0);
  const std::string name = TempFileName("t");
  { std::ofstream(name) << "y"; }  // in "moved", to be removed with it
  RemoveTempDirectories(false);
  EXPECT_EQ(std::distance(fs::directory_iterator(v), {}), 1);  // "precious" stays
  EXPECT_TRUE(fs::is_symlink(own_));
  // Emptied, but for the mark of a directory that could not be removed.
  EXPECT_EQ(std::distance(fs::directory_iterator(moved), {}), 1);
  EXPECT_TRUE(fs::exists(moved + "/Vurt"));
}

// A forked child that ends normally (its exit handlers destroy the static
// state, as an unload does) leaves its parent's directories, and what they
// hold, where they are. The empty directories of
// processes of this user that no longer exist go when the next directories
// are made; those of live processes, and those that hold anything, stay.
TEST_F(TempDirectoriesTest, ProcessesThatEndedLeaveNothingOfOthersAndAreCleanedUpAfter) {
  ASSERT_EQ(DirectoryOfNextFile(), own_);
  { std::ofstream(own_ + "/kept") << "x"; }
  const pid_t ended = ::fork();
  if (ended == 0) std::exit(0);
  ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
  EXPECT_TRUE(fs::exists(own_ + "/kept"));
  EXPECT_EQ(DirectoryOfNextFile(), own_);

  RemoveTempDirectories(false);
  const std::string dead = base_.File("vexa" + std::to_string(ended));
  const std::string live = base_.File("vexa" + std::to_string(::getppid()));
  for (const std::string& d : {dead, dead + ".AbC123", dead + ".Full00", live}) {
    ASSERT_EQ(::mkdir(d.c_str(), 0700), 0);
  }
  { std::ofstream(dead + "/Vurt"); }
  { std::ofstream(dead + ".Full00/kept") << "x"; }
  ASSERT_EQ(DirectoryOfNextFile(), own_);
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_FALSE(fs::exists(dead + ".AbC123"));
  EXPECT_TRUE(fs::exists(dead + ".Full00/kept"));
  EXPECT_TRUE(fs::exists(live));
}

// The temporary names take the configured bases in turn (a trailing slash
// or none), and TMP points at the first one's directory until the
// directories go. When no base directory can be used, asking for a name
// says which and why.
TEST_F(TempDirectoriesTest, NamesTakeTheBasesInTurnAndNeedOne) {
  const testing::ScopedEnv bases("VEXATMPDIR", (base_.path() + ";" + victim_.path() + "/").c_str());
  const testing::ScopedEnv tmp("TMP", "before");
  EXPECT_EQ(DirectoryOfNextFile(), own_);
  EXPECT_EQ(DirectoryOfNextFile(), victim_.File("vexa" + std::to_string(::getpid())));
  EXPECT_EQ(std::getenv("TMP"), own_);
  RemoveTempDirectories(false);
  EXPECT_FALSE(fs::exists(own_));
  EXPECT_STREQ(std::getenv("TMP"), "before");

  const std::string missing = base_.File("missing");
  ::setenv("VEXATMPDIR", missing.c_str(), 1);
  try {
    TempFileName("t");
    FAIL() << "a name without a directory";
  } catch (const SystemFileException& e) {
    EXPECT_NE(e.message().find(missing + "/: No such file or directory"), std::string::npos)
        << e.message();
  }
}

}  // namespace
}  // namespace vexa
