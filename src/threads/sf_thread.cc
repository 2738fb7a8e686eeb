#include "threads/sf_thread.h"

#include <pthread.h>
#include <signal.h>

#include <system_error>
#include <utility>

namespace vexa {

void sfMessageQueue::Put(sfMessage message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(std::move(message));
  }
  put_.notify_one();
}

std::optional<sfMessage> sfMessageQueue::Get() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (messages_.empty()) return std::nullopt;
  sfMessage head = std::move(messages_.front());
  messages_.pop_front();
  return head;
}

sfMessage sfMessageQueue::WaitGet() {
  std::unique_lock<std::mutex> lock(mutex_);
  put_.wait(lock, [this] { return !messages_.empty() || quit_requested_; });
  if (messages_.empty()) {
    quit_requested_ = false;
    return {sfMessage::kQuit, nullptr};
  }
  sfMessage head = std::move(messages_.front());
  messages_.pop_front();
  return head;
}

void sfMessageQueue::RequestQuit() noexcept {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_requested_ = true;
  }
  put_.notify_all();
}

// Allocates nothing (a deque made to swap with would): threads are
// stopped by destructors, also when memory has run out.
void sfMessageQueue::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.clear();
  quit_requested_ = false;
}

size_t sfMessageQueue::Size() {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_.size();
}

sfThread::~sfThread() { Stop(); }

void sfThread::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (thread_.joinable()) return;
  // The library's threads take no signal meant for the process: it goes to
  // one of the caller's threads, whose masks the caller sets (one that holds
  // the terminating signals around a close is not ended in its middle by
  // a signal a worker took). The new thread starts with the mask blocking
  // all of them.
  sigset_t all, saved;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &saved);
  try {
    thread_ = std::thread([this] { Loop(); });
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    throw;
  }
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

void sfThread::Quit() { queue_.Put({sfMessage::kQuit, nullptr}); }

void sfThread::Stop() {
  std::thread ending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable()) return;
    ending = std::move(thread_);
  }
  queue_.RequestQuit();
  ending.join();
  // A quit queued before (QuitAll) may still wait behind the one that
  // ended the loop; the thread is gone either way.
  queue_.Clear();
}

void sfThread::Post(std::function<void()> task) {
  queue_.Put({sfMessage::kTask, std::move(task)});
}

bool sfThread::Running() {
  std::lock_guard<std::mutex> lock(mutex_);
  return thread_.joinable();
}

std::exception_ptr sfThread::Failure() {
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

// Blocks on the queue while it is empty, rather than polling it. Every task's failure is caught here.
void sfThread::Loop() {
  for (;;) {
    sfMessage message = queue_.WaitGet();
    if (message.kind == sfMessage::kQuit) return;
    try {
      if (message.task) message.task();
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
    }
  }
}

sfThreadPool::sfThreadPool(int user_threads, int system_threads)
    : system_threads_(system_threads > 0 ? system_threads : 0) {
  const int total = system_threads_ + (user_threads > 0 ? user_threads : 0);
  threads_.reserve(static_cast<size_t>(total));
  for (int i = 0; i < total; ++i) threads_.push_back(std::make_unique<sfThread>());
}

sfThreadPool::~sfThreadPool() { StopAll(); }

void sfThreadPool::Start() {
  for (size_t i = 0; i < threads_.size(); ++i) {
    try {
      threads_[i]->Start();
    } catch (const std::system_error&) {
      StopAll();
      throw sfThreadException(static_cast<int>(i) < system_threads_
                                  ? "Thread Exception: Not all system threads initialized"
                                  : "Thread Exception: Not all user threads initialized");
    }
  }
}

void sfThreadPool::Submit(std::function<void()> task) {
  if (threads_.empty()) throw sfThreadException("Thread Exception: Wrong Index");
  size_t index;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    index = next_;
    next_ = (next_ + 1) % threads_.size();
  }
  threads_[index]->Post(std::move(task));
}

void sfThreadPool::QuitAll() {
  for (auto& t : threads_) t->Quit();
}

void sfThreadPool::StopAll() {
  for (auto& t : threads_) t->Stop();
}

std::exception_ptr sfThreadPool::Failure() {
  for (auto& t : threads_) {
    if (std::exception_ptr failure = t->Failure()) return failure;
  }
  return nullptr;
}

}  // namespace vexa
