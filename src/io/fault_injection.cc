// Compiled only into the test build of the core (see io/fault_injection.h).
#include "io/fault_injection.h"

#include <atomic>
#include <cerrno>

namespace vexa::fault {
namespace {

std::atomic<int64_t> g_calls{0};
std::atomic<int64_t> g_armed{0};
std::atomic<bool> g_fired{false};
Fault g_fault;  // written by Arm only, while no call runs
Watcher g_watcher = nullptr;  // written by Watch only, while no call runs

}  // namespace

void Arm(int64_t nth, Fault fault) {
  g_fault = fault;
  g_fired = false;
  g_calls = 0;
  g_armed = nth;
}

void Disarm() { g_armed = 0; }

int64_t Calls() { return g_calls; }

bool Fired() { return g_fired; }

void Watch(Watcher watcher) { g_watcher = watcher; }

Fault Next(Op op, const char* name) {
  if (g_watcher != nullptr && name != nullptr) g_watcher(op, name);
  const int64_t n = ++g_calls;
  if (n != g_armed) return {};
  g_fired = true;
  const bool transfers = op == Op::kRead || op == Op::kWrite;
  if (g_fault.shorten && !transfers) return {};
  // Only the calls that may be interrupted by a signal are.
  if (g_fault.error == EINTR && !transfers && op != Op::kOpen && op != Op::kSync &&
      op != Op::kTruncate) {
    return {};
  }
  return g_fault;
}

}  // namespace vexa::fault
