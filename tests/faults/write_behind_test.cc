// A writer hands its full buffers to the write-behind worker and goes on
// filling the next: of a plain file longer than one buffer, case data
// reaches the file from a thread other than the caller's (seen through the
// file layer's hook), and the file reads back whole.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>

#include "api/api_fixture.h"
#include "io/fault_injection.h"

namespace vexa::testing {
namespace {

TEST(WriteBehindTest, FullBuffersOfAPlainFileAreWrittenByTheWorker) {
  TempDir dir;
  const std::string path = dir.File("big.vexa");
  // Ids above 151 are byte-code literals: either form passes one buffer.
  constexpr int kLast = 600000;
  for (int compression : {VEXA_COMPRESSION_NONE, VEXA_COMPRESSION_BYTECODE}) {
    std::mutex mutex;
    int elsewhere = 0;
    const std::thread::id caller = std::this_thread::get_id();
    fault::SetHook([&](const fault::Call& call) {
      std::lock_guard<std::mutex> guard(mutex);
      elsewhere += call.op == fault::Op::kWrite && std::this_thread::get_id() != caller;
      return fault::Fault{};
    });
    EXPECT_EQ(WriteIds(path, 0, kLast, compression), VEXA_OK);
    fault::SetHook(nullptr);
    EXPECT_GT(elsewhere, 0) << compression;
    EXPECT_EQ(ReadIds(path).size(), size_t{kLast + 1}) << compression;
  }
}

}  // namespace
}  // namespace vexa::testing
