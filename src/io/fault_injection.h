// Fault injection for the file layer: in the test build of the core
// (vexaio_core_faults, built with VEXA_FAULT_INJECTION) every system call
// that io/posix_file.cc makes on a file or a name first asks Next() what to
// do, so that a test can make the Nth call fail, transfer only part of its
// bytes or be interrupted. The shipped library is built without it: its
// system calls are made directly and these functions do not exist there.
//
// Calls are counted from every thread (the write-behind and zlib workers
// write too), so the Nth call of a run with workers is not always the same
// call; a sweep arms 1, 2, 3, ... until a run ends before the fault fires.
#pragma once

#include <cstdint>
#include <functional>

namespace vexa::fault {

// The system calls, by what they do.
// kAttributes changes a file's owner, mode or extended attributes.
enum class Op {
  kOpen, kRead, kWrite, kSize, kSync, kTruncate, kClose, kRename, kRemove, kQuery, kLock,
  kAttributes, kMakeDirectory
};

// What the armed call does instead of its work.
struct Fault {
  int error = 0;         // fails with this errno (EIO, ENOSPC, EINTR, ...)
  bool shorten = false;  // or, for a read or write, moves half its bytes
  bool kill = false;     // or ends the process at once (SIGKILL), as a crash
};

// A call as the fault layer sees it, before it is made: what it is on, as
// far as the call says (-1, null and 0 where it does not).
struct Call {
  Op op;
  int fd = -1;                  // read, write, sync, truncate, close, lock
  const char* path = nullptr;   // open, remove (a name in a directory for
                                // the calls on an open directory)
  int flags = 0;                // open
  int64_t position = 0;         // read, write
  int64_t size = 0;             // read, write: bytes; truncate: new size
};

// A test's look at every counted call, from any thread, before the armed
// fault is considered; a fault it returns is applied as an armed one would
// be. Set or cleared (null) while no call runs.
using Hook = std::function<Fault(const Call&)>;
void SetHook(Hook hook);
// A hook that fails nothing and looks at the file that a call on a name acts
// on (for a link or a rename, the file that gets the new name) as it is at
// that moment. Null: none.
using Watcher = void (*)(Op op, const char* name);
void Watch(Watcher watcher);

// Makes the `nth` counted call (from 1, counted from now) fail as `fault`;
// 0 only counts. Resets the count.
void Arm(int64_t nth, Fault fault);
// Stops injecting; the count goes on.
void Disarm();
// Calls counted since the last Arm.
int64_t Calls();
// Whether the armed call has been reached since the last Arm.
bool Fired();

// For io/posix_file.cc: counts the call; the fault to apply, if the hook
// gives one or this is the armed call, and the fault applies to the call: a
// short transfer to reads and writes only, EINTR to the calls that can be
// interrupted (open, read, write, sync, truncate). A kill fault does not
// return.
Fault Next(const Call& call);

}  // namespace vexa::fault
