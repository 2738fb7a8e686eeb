// Appends killed at each of their system calls in turn, as by a crash, for
// every form (a protected file is changed in place as a plain one is): the
// next open of the file, of whichever kind, finds the old
// file byte for byte, or the new one whole when the kill came after the
// close had removed the journal. And the order of an append's calls that
// makes the same hold when a power loss drops what was not flushed: the
// file changes only after its journal is on disk, and is on disk before its
// journal goes.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "io/fault_injection.h"
#include "io/journal.h"
#include "io/sys_calls.h"

namespace vexa::testing {
namespace {

constexpr int kOld = 10, kAdded = 10;  // ids 0..9 in the file, 10..19 added

// Adds the new cases: 0, or the first other code.
int AppendNew(const std::string& path, const Form& form) {
  int h = -1;
  return Each({OpenAppend(path, form.password, &h), AddIds(h, kOld, kOld + kAdded - 1),
               vexaCloseAppend(h)});
}

// Adds them in a child process that is killed at its nth counted system
// call; true when it was killed.
bool AppendKilledAt(const std::string& path, const Form& form, int64_t nth) {
  const pid_t child = ::fork();
  if (child == 0) {
    fault::Arm(nth, {.kill = true});
    ::_exit(AppendNew(path, form));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(status == 0 || (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL));
  return status != 0;
}

constexpr size_t kJournalHeader = 56;

// The file recovered from the first `whole` bytes of journal `j`: the
// records within them put back, the file cut to its old size; untouched
// while the header is not whole.
std::string Recovered(std::string file, const std::string& j, size_t whole) {
  if (whole < kJournalHeader) return file;
  const auto le = [&](size_t at, size_t n) {  // little-endian, as this machine
    uint64_t v = 0;
    return static_cast<size_t>(*static_cast<uint64_t*>(std::memcpy(&v, &j[at], n)));
  };
  for (size_t at = kJournalHeader, n; at + 16 <= whole && at + 16 + (n = le(at + 8, 4)) <= whole;
       at += 16 + n) {
    file.replace(le(at, 8), n, j, at + 16, n);
  }
  return file.substr(0, le(16, 8));
}

// What an open does with the journal of a crashed append, beyond playing it
// back: it leaves one whose writer holds the lock, or that it may not
// write back (refusing the open); plays back only the whole records of one
// cut or damaged anywhere (none when its header is); drops one of another
// file; a new file written over it leaves none.
void CheckRecoveryRules(const TempDir& dir, const Form& form, const std::string& crashed) {
  const std::string path = dir.File("data.vexa"), journal = JournalPath(path), j = ReadFile(journal);
  const int holder = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_EQ(sys::LockWholeFile(holder, F_WRLCK), 0);
  RecoverInterruptedChange(path);
  ::close(holder);
  fault::SetHook([&](const fault::Call& call) {
    const bool writes = call.op == fault::Op::kOpen && (call.flags & O_ACCMODE) != O_RDONLY;
    return writes && call.path == path ? fault::Fault{EACCES} : fault::Fault{};
  });
  // Every failure to open a protected file is reported as the password's.
  EXPECT_EQ(ReadIds(path, form.password),
            std::vector<int>{form.password ? -VEXA_E_BAD_PASSWORD : -VEXA_E_FILE_OPEN});
  fault::SetHook(nullptr);
  EXPECT_EQ(ReadFile(path), crashed);  // left by both
  // A journal seen but not opened: one gone meanwhile (its writer finished)
  // is none; one that cannot be read refuses the recovery. Both leave the file.
  for (const int error : {ENOENT, EIO}) {
    fault::SetHook([&](const fault::Call& call) {
      return call.op == fault::Op::kOpen && call.path == journal ? fault::Fault{error} : fault::Fault{};
    });
    bool refused = false;
    try {
      RecoverInterruptedChange(path);
    } catch (const std::exception&) {
      refused = true;
    }
    fault::SetHook(nullptr);
    EXPECT_EQ(refused, error == EIO) << error;
    EXPECT_EQ(ReadFile(path), crashed);
  }
  for (size_t n = 0; n <= 2 * j.size(); ++n) {
    std::string found = j.substr(0, std::min(n, j.size()));
    const size_t whole = n <= j.size() ? n : n - j.size() - 1;
    if (n > j.size()) found[whole] ^= 0x10;
    SCOPED_TRACE((n <= j.size() ? "cut at " : "damaged at ") + std::to_string(whole));
    dir.Write("data.vexa", crashed);
    dir.Write(".data.vexa-journal", found);
    RecoverInterruptedChange(path);
    EXPECT_FALSE(std::filesystem::exists(journal));
    EXPECT_EQ(ReadFile(path), Recovered(crashed, j, whole));
  }
  // A new file written over one with a journal leaves no journal behind,
  // to be played back over a later file; one left beside a file put in its
  // place (which may be given the old file's inode number) is not played
  // back over it.
  dir.Write("data.vexa", crashed);
  dir.Write(".data.vexa-journal", j);
  EXPECT_EQ(WriteIds(path, 100, 101, form.compression, form.password), VEXA_OK);
  EXPECT_FALSE(std::filesystem::exists(journal));
  dir.Write(".data.vexa-journal", j);
  std::filesystem::rename(dir.Write("other.vexa", crashed), path);  // a file replaced
  RecoverInterruptedChange(path);
  EXPECT_FALSE(std::filesystem::exists(journal));
  EXPECT_EQ(ReadFile(path), crashed);
}

// Follows an append's calls as the disk sees them and notes each moment at
// which a power loss, dropping everything not flushed, could leave the file
// beyond repair. (That the journal holds the right bytes at each moment is
// the kill sweep's part.)
struct PowerLossCheck {
  std::mutex mutex;  // calls come from the workers too
  std::string file, journal, dir;
  bool journal_flushed = true, journal_named = false, file_flushed = true, removal_flushed = true;
  std::vector<std::string> problems;

  fault::Fault See(const fault::Call& call) {
    std::lock_guard<std::mutex> guard(mutex);
    std::error_code none;  // the path of a descriptor, else the call's
    const std::filesystem::path on =
        call.fd < 0 ? call.path ? call.path : ""
                    : std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(call.fd), none);
    const bool changes = call.op == fault::Op::kWrite || call.op == fault::Op::kTruncate;
    if (changes && on == file) {
      if (!journal_flushed || !journal_named) problems.push_back("file changed, journal not flushed");
      file_flushed = false;
    } else if (changes && on == journal) {
      journal_flushed = false;
    } else if (call.op == fault::Op::kSync) {
      file_flushed = file_flushed || on == file;
      journal_flushed = journal_flushed || on == journal;
      if (on == dir) journal_named = std::filesystem::exists(journal), removal_flushed = true;
    } else if (call.op == fault::Op::kRemove && on == journal) {
      if (!file_flushed) problems.push_back("journal removed before the file was flushed");
      removal_flushed = false;
    }
    return {};
  }
};

class CrashTest : public ::testing::TestWithParam<Form> {};

// The forms, and a protected zlib file as other writers make them.
constexpr Form kCrashForms[] = {kForms[0], kForms[1], kForms[2], kForms[3],
                                {"protected_zlib", 2, "pw"}};

TEST_P(CrashTest, AnAppendKilledAtAnyCallOrPowerLossLeavesTheOldFileOrTheNewOne) {
  const Form& form = GetParam();
  TempDir dir;
  PowerLossCheck check;
  check.dir = std::filesystem::canonical(dir.path()).string();
  const std::string path = check.file = check.dir + "/data.vexa";
  check.journal = JournalPath(path);
  ASSERT_EQ(WriteIds(path, 0, kOld - 1, form.compression, form.password), VEXA_OK);
  const std::string old_bytes = ReadFile(path);
  fault::SetHook([&](const fault::Call& call) { return check.See(call); });
  EXPECT_EQ(AppendNew(path, form), VEXA_OK);
  fault::SetHook(nullptr);
  if (!check.removal_flushed) check.problems.push_back("the journal's removal was not flushed");
  EXPECT_EQ(check.problems, std::vector<std::string>{});
  const std::string new_bytes = ReadFile(path);

  int64_t completed = 0, last_restored = 0;
  for (int64_t nth = 1;; ++nth) {
    SCOPED_TRACE("killed at call " + std::to_string(nth));
    std::filesystem::remove_all(dir.path());
    std::filesystem::create_directory(dir.path());
    dir.Write("data.vexa", old_bytes);
    if (!AppendKilledAt(path, form, nth)) break;
    const std::string crashed = ReadFile(path);
    if (crashed != old_bytes && crashed != new_bytes) last_restored = nth;
    int h = -1;  // the first open after the crash: to read, or to append, in turn
    const auto open = nth % 2 ? OpenRead : OpenAppend;
    EXPECT_EQ(Each({open(path, form.password, &h), vexaCloseRead(h)}), VEXA_OK);
    const std::string after = ReadFile(path);
    // Once the commit is past, every later kill leaves the new file.
    EXPECT_TRUE(after == new_bytes || (after == old_bytes && completed == 0));
    completed += after == new_bytes;
  }
  // The last kill that left the file changed left the fullest journal.
  if (last_restored > 0) {
    dir.Write("data.vexa", old_bytes);
    ASSERT_TRUE(AppendKilledAt(path, form, last_restored));
    CheckRecoveryRules(dir, form, ReadFile(path));
  }
  EXPECT_GT(completed, 0);
  EXPECT_GT(last_restored, 0);
}

INSTANTIATE_TEST_SUITE_P(Forms, CrashTest, ::testing::ValuesIn(kCrashForms), kByName);

}  // namespace
}  // namespace vexa::testing
