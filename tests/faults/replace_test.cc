// A file written over an older one keeps what the older one was: the new
// file has the old one's permission bits (and owner, where the test may set
// one) already when it gets a name anyone could open (a name of its own
// beside the target, or where the system has no unnamed files its
// creation), and its extended attributes, the access control list among
// them. The moment is seen through the file layer's hook.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <tuple>

#include "api/api_fixture.h"
#include "io/fault_injection.h"

namespace vexa::testing {
namespace {

// Watches the calls of a write over `target`: notes the mode and owner of
// the new file when it is linked to a name, and every permission bit any
// new file beside the target had at any call (before its first change of
// mode, too). Without `unnamed` the open that makes an unnamed file fails,
// as on a system without them.
struct Watcher {
  std::string dir, target;
  bool unnamed;
  std::mutex mutex{};  // calls come from the workers too
  bool linked = false;
  struct stat at_link {};
  mode_t beside_bits = 0;

  fault::Fault See(const fault::Call& call) {
    std::lock_guard<std::mutex> guard(mutex);
    if (!unnamed && call.op == fault::Op::kOpen && (call.flags & O_TMPFILE) == O_TMPFILE) {
      return {EOPNOTSUPP};
    }
    if (call.op == fault::Op::kRename && call.path &&
        std::string(call.path).starts_with("/proc/self/fd/")) {
      linked = ::stat(call.path, &at_link) == 0;
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
      struct stat st;
      if (entry.path() != target && ::lstat(entry.path().c_str(), &st) == 0 &&
          S_ISREG(st.st_mode)) {
        beside_bits |= st.st_mode & 07777;
      }
    }
    return {};
  }
};

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
  const struct {
    mode_t mode;
    bool others;
  } targets[] = {{0600, false}, {0640, false}, {0604, true}};
  for (const bool unnamed : {true, false}) {
    for (const auto [mode, others] : targets) {
      if (others && ::geteuid() != 0) continue;
      SCOPED_TRACE(::testing::Message() << unnamed << " " << mode << " " << others);
      const uid_t uid = others ? 4321 : ::geteuid();
      const gid_t gid = others ? 4322 : ::getegid();
      ASSERT_EQ(WriteIds(path, 1, 2, form.compression, form.password), VEXA_OK);
      ::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0);
      ::setxattr(path.c_str(), "user.empty", "", 0, 0);
      ASSERT_EQ(::chown(path.c_str(), uid, gid) | ::chmod(path.c_str(), mode), 0);
      // Copied with any other extended attributes.
      const std::string old_acl = Attribute(path, "system.posix_acl_access");
      const std::string old_empty = Attribute(path, "user.empty");
      Watcher seen{dir.path(), path, unnamed};
      fault::SetHook([&](const fault::Call& call) { return seen.See(call); });
      EXPECT_EQ(WriteIds(path, 5, 6, form.compression, form.password), VEXA_OK);
      fault::SetHook(nullptr);

      // The mode and owner of the file linked into place (the same code
      // gives them to a file made with a name).
      const struct stat& at = seen.at_link;
      EXPECT_EQ(seen.linked, unnamed);
      EXPECT_TRUE(!unnamed || std::tuple(at.st_mode & 07777, at.st_uid, at.st_gid) ==
                                  std::tuple(mode, uid, gid));
      EXPECT_EQ(seen.beside_bits & ~mode, 0u) << "a new file was open to more";
      EXPECT_EQ(Attribute(path, "system.posix_acl_access"), old_acl);
      EXPECT_EQ(Attribute(path, "user.empty"), old_empty);
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, ReplaceTest, ::testing::ValuesIn(kForms), kByName);

}  // namespace
}  // namespace vexa::testing
