// The thread library on the C++ standard library: messages and
// their queue, threads that run the messages of their queue in order, and a
// pool of such threads.
//
// Contract: no exception leaves a thread. A task that raises is caught by
// its thread, which keeps the first failure for the owner to ask for
// (Failure()); the workers of the file streams catch their own failures and
// hand them to the caller at the next hand-off, so this is only the last
// line. No thread outlives the object that owns it: destroying a thread or a
// pool lets every queued message run, then joins.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vexa {

// The failure of the thread library itself (a thread that cannot be
// created, a thread index out of range).
class sfThreadException : public std::runtime_error {
 public:
  explicit sfThreadException(const std::string& text)
      : std::runtime_error(text) {}
};

// What a thread is asked to do: run a task, or leave its loop.
struct sfMessage {
  enum Kind { kTask = 0, kQuit = 2 };
  Kind kind = kTask;
  std::function<void()> task;
};

// First in, first out, guarded by its own mutex.
class sfMessageQueue {
 public:
  void Put(sfMessage message);
  // The head of the queue, or none when it is empty; never blocks.
  std::optional<sfMessage> Get();
  // The head of the queue, waiting for one to come; a quit message once
  // the queue is empty after RequestQuit().
  sfMessage WaitGet();
  // Asks for a quit message after the messages queued; allocates nothing,
  // so that a thread can be stopped when memory has run out.
  void RequestQuit() noexcept;
  // Drops every queued message unrun, and a requested quit.
  void Clear();
  size_t Size();

 private:
  std::mutex mutex_;
  std::condition_variable put_;
  std::deque<sfMessage> messages_;
  bool quit_requested_ = false;
};

// One operating-system thread and its queue.
class sfThread {
 public:
  sfThread() = default;
  sfThread(const sfThread&) = delete;
  sfThread& operator=(const sfThread&) = delete;
  // Stops the thread: the messages queued before run first.
  ~sfThread();

  // Creates the thread unless it runs already. Raises std::system_error
  // when the system cannot create it.
  void Start();
  // Asks the thread to quit after the messages queued and waits for it to
  // end. Allocates nothing.
  void Stop();
  // Queues a quit message without waiting.
  void Quit();
  void Post(std::function<void()> task);
  bool Running();
  // The first failure of a task run here, or null.
  std::exception_ptr Failure();

 private:
  void Loop();

  std::mutex mutex_;  // guards thread_ and failure_
  std::thread thread_;
  std::exception_ptr failure_;
  sfMessageQueue queue_;
};

// A fixed number of threads; tasks go to them in turn, so tasks submitted
// in order are taken up in order by consecutive threads.
class sfThreadPool {
 public:
  // user_threads + system_threads threads, started by Start().
  explicit sfThreadPool(int user_threads, int system_threads = 0);
  sfThreadPool(const sfThreadPool&) = delete;
  sfThreadPool& operator=(const sfThreadPool&) = delete;
  // Stops every thread and waits for each.
  ~sfThreadPool();

  // Starts every thread. Raises sfThreadException "Thread Exception: Not
  // all system threads initialized" (or "user threads") when one cannot be
  // created; the threads started by then are stopped again.
  void Start();
  // Queues a task on the next thread in turn.
  void Submit(std::function<void()> task);
  int Count() const { return static_cast<int>(threads_.size()); }
  // A quit message to every thread, without waiting.
  void QuitAll();
  // Stops every thread and waits for each; the pool can be started again.
  void StopAll();
  // The first failure of a task on any thread, or null.
  std::exception_ptr Failure();

 private:
  std::mutex mutex_;  // guards next_
  int system_threads_;
  std::vector<std::unique_ptr<sfThread>> threads_;
  size_t next_ = 0;
};

}  // namespace vexa
