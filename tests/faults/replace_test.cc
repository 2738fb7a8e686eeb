// A file written over an older one keeps what the older one was: the new
// file has the old one's permission bits (and owner, where the test may set
// one) already when it gets a name anyone could open (a name of its own
// beside the target, or where the system has no unnamed files its
// creation), and its extended attributes, the access control list among
// them. The moment is seen through the file layer's watcher.
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "api/api_fixture.h"
#include "io/fault_injection.h"

namespace vexa::testing {
namespace {

// What the watcher saw: the mode and owner of the new file when it was
// linked to a name, and every permission bit any new file beside the
// target had at any watched call.
struct Seen {
  std::string dir;
  std::string target;
  int64_t unnamed_open = 0;  // the call that made the unnamed file
  bool linked = false;
  struct stat at_link {};
  mode_t beside_bits = 0;
};
Seen g_seen;

void Watcher(fault::Op op, const char* name) {
  const std::string n = name;
  if (op == fault::Op::kOpen && n == g_seen.dir && g_seen.unnamed_open == 0) {
    g_seen.unnamed_open = fault::Calls() + 1;
  }
  if (op == fault::Op::kRename && n.rfind("/proc/self/fd/", 0) == 0) {
    g_seen.linked = ::stat(name, &g_seen.at_link) == 0;
  }
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(g_seen.dir, ec)) {
    const std::string file = entry.path().string();
    struct stat st;
    if (file != g_seen.target && ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      g_seen.beside_bits |= st.st_mode & 07777;
    }
  }
}

// An access control list as the system keeps it: the owner rw, user 4321
// r, the owning group nothing, mask r, others nothing.
std::string AccessList() {
  const uint16_t e[5][4] = {{1, 6, 0xFFFF, 0xFFFF}, {2, 4, 4321, 0}, {4, 0, 0xFFFF, 0xFFFF},
                            {0x10, 4, 0xFFFF, 0xFFFF}, {0x20, 0, 0xFFFF, 0xFFFF}};
  return std::string("\2\0\0\0", 4) + std::string(reinterpret_cast<const char*>(e), sizeof e);
}

std::string Attribute(const std::string& path, const char* name) {
  char value[256];
  const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
  return n < 0 ? std::string("(none)") : std::string(value, static_cast<size_t>(n));
}

class ReplaceTest : public ::testing::TestWithParam<Form> {};

TEST_P(ReplaceTest, TheNewFileIsAsTheOldOneBeforeItHasAName) {
  const Form& form = GetParam();
  TempDir dir;
  const std::string path = dir.File("data.vexa");
  const std::string acl = AccessList();
  // Modes, and whether another user owns the file (only when run as root).
  const std::pair<mode_t, bool> targets[] = {{0600, false}, {0640, false}, {0604, true}};
  for (const bool unnamed : {true, false}) {
    for (const auto& target : targets) {
      const mode_t mode = target.first;
      const bool others = target.second;
      if (others && ::geteuid() != 0) continue;
      SCOPED_TRACE(std::to_string(unnamed) + " " + std::to_string(mode) + " " +
                   std::to_string(others));
      const uid_t uid = others ? 4321 : ::geteuid();
      const gid_t gid = others ? 4322 : ::getegid();
      bool attributes = false;
      std::string old_acl;
      auto old_file = [&] {
        ASSERT_EQ(WriteIds(path, 1, 2, form.compression, form.password), VEXA_OK);
        attributes = ::setxattr(path.c_str(), "user.origin", "survey", 6, 0) == 0;
        ::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0);
        ASSERT_EQ(::chown(path.c_str(), uid, gid) | ::chmod(path.c_str(), mode), 0);
        old_acl = Attribute(path, "system.posix_acl_access");
        g_seen = Seen{dir.path(), path};
      };
      old_file();
      fault::Watch(Watcher);
      fault::Arm(0, {});
      if (!unnamed) {
        // The call that makes the unnamed file, counted in a first run,
        // fails in the second as on a system without unnamed files.
        ASSERT_EQ(WriteIds(path, 3, 4, form.compression, form.password), VEXA_OK);
        const int64_t nth = g_seen.unnamed_open;
        ASSERT_GT(nth, 0);
        old_file();
        fault::Arm(nth, {EOPNOTSUPP, false});
      }
      EXPECT_EQ(WriteIds(path, 5, 6, form.compression, form.password), VEXA_OK);
      EXPECT_EQ(fault::Fired(), !unnamed);
      fault::Disarm();
      fault::Watch(nullptr);

      // The mode and owner of the file linked into place, and of the file.
      const auto as_old = [&](const struct stat& st) {
        return std::tuple(st.st_mode & 07777, st.st_uid, st.st_gid) == std::tuple(mode, uid, gid);
      };
      EXPECT_EQ(g_seen.linked, unnamed);
      EXPECT_TRUE(!unnamed || as_old(g_seen.at_link));
      EXPECT_EQ(g_seen.beside_bits & ~mode, 0u) << "a new file was open to more";
      struct stat st;
      ASSERT_EQ(::stat(path.c_str(), &st), 0);
      EXPECT_TRUE(as_old(st));
      EXPECT_TRUE(!attributes || Attribute(path, "user.origin") == "survey");
      EXPECT_EQ(Attribute(path, "system.posix_acl_access"), old_acl);
      EXPECT_EQ(ReadIds(path, form.password), (std::vector<int>{5, 6}));
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, ReplaceTest, ::testing::ValuesIn(kForms),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexa::testing
