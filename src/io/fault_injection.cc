// Compiled only into the test build of the core (see io/fault_injection.h).
#include "io/fault_injection.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

namespace vexa::fault {
namespace {

std::atomic<int64_t> g_calls{0};
std::atomic<int64_t> g_armed{0};
std::atomic<bool> g_fired{false};
Fault g_fault;  // written by Arm only, while no call runs
Hook g_hook;    // written by SetHook only, while no call runs

// The part of `fault` that applies to the call.
Fault Applicable(const Fault& fault, Op op) {
  const bool transfers = op == Op::kRead || op == Op::kWrite;
  if (fault.shorten && !transfers) return {};
  // Only the calls that may be interrupted by a signal are.
  if (fault.error == EINTR && !transfers && op != Op::kOpen && op != Op::kSync &&
      op != Op::kTruncate) {
    return {};
  }
  return fault;
}

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

void SetHook(Hook hook) { g_hook = std::move(hook); }

void Watch(Watcher watcher) {
  if (watcher == nullptr) return SetHook(nullptr);
  SetHook([watcher](const Call& call) {
    if (call.path != nullptr) watcher(call.op, call.path);
    return Fault{};
  });
}

Fault Next(const Call& call) {
  const int64_t n = ++g_calls;
  Fault fault = g_hook ? Applicable(g_hook(call), call.op) : Fault{};
  if (n == g_armed) {
    g_fired = true;
    if (fault.error == 0 && !fault.shorten && !fault.kill) fault = Applicable(g_fault, call.op);
  }
  if (fault.kill) {
    ::kill(::getpid(), SIGKILL);
    ::_exit(137);
  }
  return fault;
}

}  // namespace vexa::fault
