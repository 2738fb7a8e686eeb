// Work split into numbered pieces that any thread may do in any order,
// shared between the caller's thread and a pool made for the run.
#pragma once

#include <cstdint>
#include <functional>

namespace vexa {

// Runs body(piece, thread) for every piece in [0, count), on `threads`
// threads: the caller's (thread 0) and threads - 1 of a pool that lives
// for the call. A thread takes the next piece when it is done with one.
// The first failure stops the handing out of pieces and is raised in the
// caller once every thread has stopped; when no pool can be started the
// caller does every piece itself.
void RunPieces(int64_t count, int threads,
               const std::function<void(int64_t piece, int thread)>& body);

}  // namespace vexa
