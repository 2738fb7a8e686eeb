// The read-ahead worker when the caller overtakes it: a hook on the file's
// reads holds the worker's read of a range until the caller fetches it, and
// slows it, so that the fetch finds the worker busy and reads the range
// after it on the caller's thread (taken by the next fetch without a wait).
// Every fetch still delivers the file's bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "io/fault_injection.h"
#include "io/read_ahead.h"
#include "support/temp_dir.h"

namespace vexa::testing {
namespace {

TEST(ReadAheadHookTest, TheCallerReadsTheNextRangeWhileTheWorkerReadsItsOwn) {
  constexpr size_t kSize = 4096;
  TempDir dir;
  std::string data(24 * kSize + 100, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31 / 7);
  RefPtr<VEXA_File> file = RefPtr<VEXA_File>::Make();
  ASSERT_TRUE(Use(file).Open(dir.Write("f", data), "r"));

  std::mutex mutex;
  std::condition_variable begun;
  const std::thread::id caller = std::this_thread::get_id();
  std::set<int64_t> read;  // the positions whose reads have begun
  int64_t fetching = 0;
  int ahead = 0;  // reads by the caller of bytes other than those it fetches
  fault::SetHook([&](const fault::Call& call) {
    if (call.op != fault::Op::kRead) return fault::Fault{};
    std::unique_lock<std::mutex> lock(mutex);
    read.insert(call.position);
    begun.notify_all();
    if (std::this_thread::get_id() == caller) {
      ahead += call.position != fetching;
    } else if (call.position < static_cast<int64_t>(data.size())) {
      // The worker's read goes on only once the caller fetches these
      // bytes, and slowly, so that the caller finds it busy.
      begun.wait_for(lock, std::chrono::seconds(5), [&] { return fetching == call.position; });
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    return fault::Fault{};
  });
  ReadAhead reader(file, kSize, 0);
  LargeBuffer buffer = NewLargeBuffer(kSize);
  for (size_t at = 0; at <= data.size(); at += kSize) {
    SCOPED_TRACE(at);
    {
      std::unique_lock<std::mutex> lock(mutex);
      fetching = static_cast<int64_t>(at);
      begun.notify_all();
      begun.wait_for(lock, std::chrono::seconds(5), [&] { return at == 0 || read.count(fetching); });
    }
    const size_t got = reader.Fetch(buffer, kSize, static_cast<int64_t>(at), true);
    ASSERT_EQ(std::string(buffer.get(), got), data.substr(at, kSize));
  }
  fault::SetHook(nullptr);
  EXPECT_GE(ahead, 5);
}

}  // namespace
}  // namespace vexa::testing
