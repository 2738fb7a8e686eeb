// The thread library: semaphores and completion counters hand work over
// between threads, a pool runs what it is given and joins at destruction,
// and a task's failure stays inside its thread for the owner to ask for.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

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

// The completion counter as a barrier, round after round on the same pool:
// when the wait returns every task of the round has run, and each exactly
// once. The tasks yield before they
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
  }
}

// One thread runs its queue in order, past a failing task; a stopped pool
// starts again. Its thread takes no signal meant for the process, whatever
// the starting thread's mask; the starting thread's mask stays.
TEST(ThreadPoolTest, AFailingTaskIsKeptAndTheThreadGoesOn) {
  sigset_t before, after;
  pthread_sigmask(SIG_SETMASK, nullptr, &before);
  sfThreadPool pool(1);
  pool.Start();
  pthread_sigmask(SIG_SETMASK, nullptr, &after);
  EXPECT_EQ(sigismember(&after, SIGTERM), sigismember(&before, SIGTERM));
  bool blocked = false;
  pool.Submit([&] {
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    blocked = sigismember(&mask, SIGTERM) == 1 && sigismember(&mask, SIGINT) == 1;
  });
  sfSemaphore ran(0);
  std::vector<int> order, expected;
  pool.Submit([] { throw std::runtime_error("task failed"); });
  for (int i = 0; i < 100; ++i) {
    pool.Submit([&, i] { order.push_back(i); });
    expected.push_back(i);
  }
  pool.Submit([&] { ran.Post(); });
  ASSERT_TRUE(ran.Wait(10000));
  EXPECT_TRUE(blocked);
  EXPECT_EQ(order, expected);
  std::exception_ptr failure = pool.Failure();
  ASSERT_TRUE(failure != nullptr);
  EXPECT_THROW(std::rethrow_exception(failure), std::runtime_error);
  pool.StopAll();
  pool.Start();
  pool.Submit([&] { ran.Post(); });
  EXPECT_TRUE(ran.Wait(10000));
}

}  // namespace
}  // namespace vexa
