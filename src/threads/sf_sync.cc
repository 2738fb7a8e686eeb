#include "threads/sf_sync.h"

#include <chrono>

namespace vexa {

bool sfSemaphore::Post() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
  }
  posted_.notify_one();
  return true;
}

bool sfSemaphore::Wait(int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto available = [this] { return count_ > 0; };
  if (timeout_ms < 0) {
    posted_.wait(lock, available);
  } else if (!posted_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                               available)) {
    return false;
  }
  --count_;
  return true;
}

void sfCompleteTask::SetCount(int count) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    count_ = count;
  }
  if (count <= 0) done_.notify_all();
}

bool sfCompleteTask::CountDown() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (count_ <= 0) return false;
  if (--count_ == 0) done_.notify_all();
  return true;
}

void sfCompleteTask::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return count_ <= 0; });
}

int sfCompleteTask::Count() {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

}  // namespace vexa
