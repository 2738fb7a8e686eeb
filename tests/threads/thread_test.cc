// The thread library: semaphores and completion counters hand work over
// between threads, a pool runs what it is given and joins at destruction,
// and a task's failure stays inside its thread for the owner to ask for.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "threads/run_pieces.h"
#include "threads/sf_sync.h"
#include "threads/sf_thread.h"

namespace vexa {
namespace {

TEST(SemaphoreTest, CountsPostsAndTimesOut) {
  sfSemaphore s(1);
  EXPECT_TRUE(s.TryWait());
  EXPECT_FALSE(s.TryWait());
  EXPECT_FALSE(s.Wait(5));
  s.Post();
  s.Post();
  EXPECT_TRUE(s.Wait() && s.TryWait());
  EXPECT_FALSE(s.TryWait());
}

// The completion counter as a barrier, round after round on the same pool,
// and RunPieces, which ends with one: when the wait returns every task of
// the round has run, and each exactly once. The tasks yield before they
// note their run, so that a wait that returned early would find one unrun.
TEST(ThreadPoolTest, TheBarrierReturnsOnlyOnceEveryTaskRanOnce) {
  constexpr int kTasks = 40;
  const std::vector<int> once(kTasks, 1);
  sfThreadPool pool(3);
  pool.Start();
  sfCompleteTask done;
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    std::vector<std::atomic<int>> ran(kTasks);
    done.SetCount(kTasks);
    for (int i = 0; i < kTasks; ++i) {
      pool.Submit([&, i] {
        std::this_thread::yield();
        ++ran[static_cast<size_t>(i)];
        done.CountDown();
      });
    }
    done.Wait();
    EXPECT_EQ(std::vector<int>(ran.begin(), ran.end()), once);
    EXPECT_FALSE(done.CountDown());

    const int threads = round % 5;  // 0 and 1: the caller alone
    std::vector<std::atomic<int>> pieces(kTasks);
    std::atomic<bool> thread_in_range{true};
    RunPieces(kTasks, threads, [&](int64_t piece, int thread) {
      std::this_thread::yield();
      thread_in_range = thread_in_range && thread >= 0 && thread < std::max(threads, 1);
      ++pieces[static_cast<size_t>(piece)];
    });
    EXPECT_EQ(std::vector<int>(pieces.begin(), pieces.end()), once);
    EXPECT_TRUE(thread_in_range);
  }
}

// One thread runs its queue in order, past a failing task; a stopped pool
// starts again. A failing piece is raised by RunPieces once all stopped.
TEST(ThreadPoolTest, AFailingTaskIsKeptAndTheThreadGoesOn) {
  sfThreadPool pool(1);
  pool.Start();
  sfSemaphore ran(0);
  std::vector<int> order, expected;
  pool.Submit([] { throw std::runtime_error("task failed"); });
  for (int i = 0; i < 100; ++i) {
    pool.Submit([&, i] { order.push_back(i); });
    expected.push_back(i);
  }
  pool.Submit([&] { ran.Post(); });
  ASSERT_TRUE(ran.Wait(10000));
  EXPECT_EQ(order, expected);
  std::exception_ptr failure = pool.Failure();
  ASSERT_TRUE(failure != nullptr);
  EXPECT_THROW(std::rethrow_exception(failure), std::runtime_error);
  pool.StopAll();
  pool.Start();
  pool.Submit([&] { ran.Post(); });
  EXPECT_TRUE(ran.Wait(10000));
  EXPECT_THROW(RunPieces(100, 3, [](int64_t piece, int) {
                 if (piece == 50) throw std::runtime_error("piece failed");
               }),
               std::runtime_error);
}

}  // namespace
}  // namespace vexa
