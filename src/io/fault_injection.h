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

namespace vexa::fault {

// The system calls, by what they do.
enum class Op { kOpen, kRead, kWrite, kSize, kSync, kTruncate, kClose, kRename, kRemove, kQuery };

// What the armed call does instead of its work.
struct Fault {
  int error = 0;         // fails with this errno (EIO, ENOSPC, EINTR, ...)
  bool shorten = false;  // or, for a read or write, moves half its bytes
};

// Makes the `nth` counted call (from 1, counted from now) fail as `fault`;
// 0 only counts. Resets the count.
void Arm(int64_t nth, Fault fault);
// Stops injecting; the count goes on.
void Disarm();
// Calls counted since the last Arm.
int64_t Calls();
// Whether the armed call has been reached since the last Arm.
bool Fired();

// Called before each counted call that acts on a name, with that name (for
// a link or a rename, the file that gets the new name): a test looks at the
// file as it is at that moment. Null: none. Set while no call runs.
using Watcher = void (*)(Op op, const char* name);
void Watch(Watcher watcher);

// For io/posix_file.cc: counts the call; the fault to apply, if this is the
// armed call and the fault applies to `op`: a short transfer to reads and
// writes only, EINTR to the calls that can be interrupted (open, read,
// write, sync, truncate). `name` is for the watcher.
Fault Next(Op op, const char* name = nullptr);

}  // namespace vexa::fault
