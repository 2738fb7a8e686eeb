#include "threads/run_pieces.h"

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>

#include "threads/sf_sync.h"
#include "threads/sf_thread.h"

namespace vexa {

void RunPieces(int64_t count, int threads,
               const std::function<void(int64_t piece, int thread)>& body) {
  if (count <= 0) return;
  if (threads < 1) threads = 1;
  if (threads > count) threads = static_cast<int>(count);
  std::atomic<int64_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex failure_lock;
  std::exception_ptr failure;
  auto work = [&](int thread) {
    try {
      for (int64_t piece = next++; piece < count && !failed; piece = next++) body(piece, thread);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failure_lock);
      if (!failure) failure = std::current_exception();
      failed = true;
    }
  };
  std::unique_ptr<sfThreadPool> pool;
  sfCompleteTask helpers_done;
  if (threads > 1) {
    try {
      pool = std::make_unique<sfThreadPool>(threads - 1);
      pool->Start();
    } catch (const sfThreadException&) {
      pool.reset();  // the caller does it all
    }
  }
  if (pool) {
    helpers_done.SetCount(pool->Count());
    for (int t = 1; t <= pool->Count(); ++t) {
      pool->Submit([&work, &helpers_done, t] {
        work(t);
        helpers_done.CountDown();
      });
    }
  }
  work(0);
  if (pool) helpers_done.Wait();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace vexa
