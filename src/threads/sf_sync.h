// The synchronisation primitives of the thread library, on the
// C++ standard library: a counting semaphore with time-outs and a
// completion counter. Every operation says whether it succeeded; none of
// them raises.
#pragma once

#include <condition_variable>
#include <mutex>

namespace vexa {

// A counting semaphore created with an initial count.
class sfSemaphore {
 public:
  explicit sfSemaphore(int initial_count = 0) : count_(initial_count) {}
  sfSemaphore(const sfSemaphore&) = delete;
  sfSemaphore& operator=(const sfSemaphore&) = delete;

  // Releases one unit.
  bool Post();
  // Takes one unit, waiting at most timeout_ms milliseconds; a negative
  // time-out waits without limit. False when the time ran out.
  bool Wait(int timeout_ms);
  bool Wait() { return Wait(-1); }
  // Takes one unit only if one is free now.
  bool TryWait() { return Wait(0); }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  int count_;
};

// A counter that a waiter sees reach 0: set it to the number of pieces of
// work, count each one down as it ends, and wait for the last.
class sfCompleteTask {
 public:
  sfCompleteTask() = default;
  sfCompleteTask(const sfCompleteTask&) = delete;
  sfCompleteTask& operator=(const sfCompleteTask&) = delete;

  void SetCount(int count);
  // False, changing nothing, when the count is 0 already.
  bool CountDown();
  // Returns once the count is 0.
  void Wait();
  int Count();

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  int count_ = 0;
};

}  // namespace vexa
