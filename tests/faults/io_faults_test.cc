// Every system call of writing a file over an older one, adding cases to a
// file, and closing either, made to fail in turn (io/fault_injection.h),
// for each form of file. A run either succeeds whole or reports its
// failure with the call's code; a failed run leaves the file exactly as it
// was, and no run leaves a file of its own behind, beside the file or in
// the library's temporary directory. Short transfers and interrupted calls
// are retried and never fail a run.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "api/api_fixture.h"
#include "io/fault_injection.h"
#include "io/temp_directories.h"
#include "support/open_bytes.h"

namespace vexa::testing {
namespace {

struct Kind {
  const char* name;
  fault::Fault fault;
  bool may_fail;  // false: the call is retried and the run succeeds
};
constexpr Kind kKinds[] = {
    {"EIO", {EIO, false}, true},
    {"short transfer", {0, true}, false},
    {"EINTR", {EINTR, false}, false},
};

// Three variables: a number, the case's number; a string; a number that is
// missing in every other case (so byte-code has codes of every kind).
constexpr double kNumber = 1.0, kText = 2.0, kSometimes = 3.0;

// The calls of a run: the first that fails ends the writing, and the close
// of an open handle is made all the same.
struct Calls {
  std::string failed;  // the first call that failed, none when none did
  int code = VEXA_OK, close = VEXA_OK;
  int Call(const std::string& what, int result) {
    if (what == "close") close = result;
    if (result != VEXA_OK && failed.empty()) {
      failed = what;
      code = result;
    }
    return result;
  }
};

int WriteCases(Calls& run, int h, int first, int count) {
  int code = VEXA_OK;
  for (int n = first; n < first + count && code == VEXA_OK; ++n) {
    const std::string text = "case " + std::to_string(n);
    code = run.Call("case", Each({vexaSetValueNumeric(h, kNumber, n),
                                  vexaSetValueChar(h, kText, text.c_str()),
                                  n % 2 ? VEXA_OK : vexaSetValueNumeric(h, kSometimes, n * 0.5),
                                  vexaCommitCaseRecord(h)}));
  }
  return code;
}

// A new file of `count` cases from `first` on, over whatever is at `path`.
void Write(Calls& run, const std::string& path, const Form& form, int first, int count) {
  int h = -1;
  if (run.Call("open", OpenWrite(path, form.password, &h)) != VEXA_OK) return;
  if (run.Call("define", Each({vexaSetVarName(h, "number", 0), vexaSetVarName(h, "text", 12),
                               vexaSetVarName(h, "sometimes", 0),
                               vexaSetCompression(h, form.compression)})) == VEXA_OK &&
      run.Call("commit", vexaCommitHeader(h)) == VEXA_OK) {
    WriteCases(run, h, first, count);
  }
  run.Call("close", vexaCloseWrite(h));
}

void Append(Calls& run, const std::string& path, const Form& form, int first, int count) {
  int h = -1;
  if (run.Call("open", OpenAppend(path, form.password, &h)) != VEXA_OK) return;
  WriteCases(run, h, first, count);
  run.Call("close", vexaCloseAppend(h));
}

std::vector<int> Count(int first, int count) {
  std::vector<int> numbers(static_cast<size_t>(count));
  std::iota(numbers.begin(), numbers.end(), first);
  return numbers;
}

// The names in a directory, but for the directories of tests (the library
// points TMP at its own temporary directory).
std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("vexaio-test-", 0) != 0) names.push_back(name);
  }
  return names;
}

// The codes a call may give when one of its system calls fails.
bool Allowed(const std::string& what, int code) {
  if (what == "open") return code == VEXA_E_FILE_OPEN || code == VEXA_E_BAD_PASSWORD;
  if (what == "commit") return code == VEXA_E_BAD_HANDLE;  // the commit's fallback
  return code == VEXA_E_FILE_WRITE;  // case writes and the close
}

class IoFaultsTest : public ::testing::TestWithParam<Form> {};

TEST_P(IoFaultsTest, EveryFailingCallIsReportedAndLeavesTheFileAsItWas) {
  const Form& form = GetParam();
  TempDir dir;
  const std::string path = dir.File("data.vexa");
  Calls setup;
  Write(setup, path, form, 0, 10);
  ASSERT_EQ(setup.failed, "");
  const std::string old_bytes = ReadFile(path);
  const std::string library_temp = NextTempDirectory();

  // A new file of ids 100..109 over the old one; ids 10..19 added to it.
  const std::tuple<decltype(&Write), int, std::vector<int>> scenarios[] = {
      {Write, 100, Count(100, 10)}, {Append, 10, Count(0, 20)}};
  for (const auto& [scenario, first, result] : scenarios) {
    for (const Kind& kind : kKinds) {
      bool fired = true;
      for (int64_t nth = 1; fired; ++nth) {
        SCOPED_TRACE(::testing::Message() << first << ", " << kind.name << " at call " << nth);
        dir.Write("data.vexa", old_bytes);
        Calls run;
        fault::Arm(nth, kind.fault);
        scenario(run, path, form, first, 10);
        fired = fault::Fired();
        fault::Disarm();

        EXPECT_EQ(vexaCloseRead(0), VEXA_E_BAD_HANDLE) << "a handle stayed open";
        EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"data.vexa"});
        EXPECT_EQ(Listing(library_temp), std::vector<std::string>{});
        if (run.failed.empty()) {
          EXPECT_EQ(ReadIds(path, form.password), result);
          continue;
        }
        EXPECT_TRUE(kind.may_fail);
        EXPECT_TRUE(Allowed(run.failed, run.code)) << run.failed << " gave " << run.code;
        // A case write that failed fails the close too.
        EXPECT_TRUE(run.failed != "case" || run.close == VEXA_E_FILE_WRITE) << run.close;
        EXPECT_TRUE(ReadFile(path) == old_bytes) << "the file changed";
      }
    }
  }
}

// The calls beside opens, reads and writes fail too: a replacement that
// cannot take the old file's mode fails its write at the commit, protected
// or not, and leaves the old file; so does one that cannot be put on disk.
TEST(OtherCallFaultTest, AttributeAndLockFailures) {
  TempDir dir;
  const std::string plain = dir.File("plain.vexa"), prot = dir.File("prot.vexa");
  ASSERT_EQ(Each({WriteIds(plain, 1, 2), WriteIds(prot, 1, 2, 0, "pw")}), VEXA_OK);
  for (const char* password : {static_cast<const char*>(nullptr), "pw"}) {
    fault::SetHook([](const fault::Call& c) {
      return fault::Fault{c.op == fault::Op::kAttributes ? EIO : 0};
    });
    EXPECT_EQ(WriteIds(password ? prot : plain, 7, 9, 0, password), VEXA_E_BAD_HANDLE);
    fault::SetHook(nullptr);
    EXPECT_EQ(ReadIds(plain), (std::vector<int>{1, 2}));
    EXPECT_EQ(ReadIds(prot, "pw"), (std::vector<int>{1, 2}));
  }
  // Only a lock that another writer holds refuses a write: where the file
  // system takes no locks, the write goes on without one.
  fault::SetHook([](const fault::Call& c) { return fault::Fault{c.op == fault::Op::kLock ? ENOLCK : 0}; });
  EXPECT_EQ(WriteIds(plain, 3, 4), VEXA_OK);
  fault::SetHook(nullptr);
  EXPECT_EQ(ReadIds(plain), (std::vector<int>{3, 4}));
  // A replacement that cannot be put on disk fails and leaves the old file.
  fault::SetHook([](const fault::Call& c) { return fault::Fault{c.op == fault::Op::kSync ? EIO : 0}; });
  EXPECT_NE(WriteIds(plain, 5, 6), VEXA_OK);
  fault::SetHook(nullptr);
  EXPECT_EQ(ReadIds(plain), (std::vector<int>{3, 4}));
  // A directory of the process's own that cannot be made says why.
  RemoveTempDirectories(false);
  fault::SetHook([](const fault::Call& c) {
    return fault::Fault{c.op == fault::Op::kMakeDirectory ? EACCES : 0};
  });
  EXPECT_EQ(testing::ErrorNumberOf([] { TempFileName("t"); }), kErrReopen);
  fault::SetHook(nullptr);
  RemoveTempDirectories(false);
}

INSTANTIATE_TEST_SUITE_P(Forms, IoFaultsTest, ::testing::ValuesIn(kForms), kByName);

}  // namespace
}  // namespace vexa::testing
