// The thread library: semaphores and completion counters hand work over
// between threads, a pool runs what it is given and joins at destruction,
// and a task's failure stays inside its thread for the owner to ask for.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
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
  EXPECT_TRUE(s.Wait());
  EXPECT_TRUE(s.TryWait());
  EXPECT_FALSE(s.TryWait());
}

TEST(ThreadPoolTest, RunsTasksAndCountsThemDown) {
  sfCompleteTask done;
  sfThreadPool pool(3);
  pool.Start();
  EXPECT_EQ(pool.Count(), 3);
  done.SetCount(30);
  std::atomic<int> sum{0};
  for (int i = 0; i < 30; ++i) {
    pool.Submit([&, i] {
      sum += i;
      done.CountDown();
    });
  }
  done.Wait();
  EXPECT_EQ(sum.load(), 435);
  EXPECT_FALSE(done.CountDown());
}

// One thread runs its queue in order, past a failing task; a stopped pool
// starts again.
TEST(ThreadPoolTest, AFailingTaskIsKeptAndTheThreadGoesOn) {
  sfThreadPool pool(1);
  pool.Start();
  sfSemaphore ran(0);
  std::vector<int> order;
  pool.Submit([] { throw std::runtime_error("task failed"); });
  for (int i = 0; i < 100; ++i) pool.Submit([&, i] { order.push_back(i); });
  pool.Submit([&] { ran.Post(); });
  ASSERT_TRUE(ran.Wait(10000));
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
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
