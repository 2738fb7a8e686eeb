// Reading chosen variables of many cases, each variable into an array of
// its own: a batch of whole cases is decoded into a buffer small enough to
// stay in the cache (uncompressed cases are left in the read window), and
// the chosen values are copied out of it from there: as they are, or the
// texts of a string variable as codes of its distinct texts.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "api/call_guard.h"
#include "sysfile/bytecode.h"
#include "sysfile/text_groups.h"
#include "vexaio.h"

using namespace vexa;

namespace {

// Bytes of whole cases decoded at a time (at least one case).
constexpr size_t kBatchBytes = 256 * 1024;
// Bytes of the cases gathered at a time, and the fewest cases worth a tile.
constexpr size_t kTileBytes = 16 * 1024;
constexpr size_t kLeastTile = 16;
constexpr uint64_t kNaNBits = 0x7FF8000000000000;

// A string variable delivered grouped: its codes so far, and where its
// texts go once it has more distinct texts than room for them.
struct Grouping {
  TextGroups groups;
  VexaTextGroup* caller;
  bool fell_back = false;
};

// One chosen variable: where its value lies in a case, how wide it is (0
// for a number), the caller's array for it and its grouping (null: none).
struct Target {
  size_t offset;
  size_t width;
  char* column;
  Grouping* grouping;
};

// Codes the texts of `count` cases as cases `first` on of the call; from
// the first text with no room on, the call's texts go to the caller's
// plain array, those coded before taken back from their codes.
void GatherCodes(const Target& t, const char* from, size_t case_bytes, size_t count,
                 size_t first) {
  Grouping& g = *t.grouping;
  char* const plain = g.caller->plain;
  char* const codes = t.column;  // 4 bytes a case, perhaps unaligned
  for (size_t i = first; i < first + count; ++i, from += case_bytes) {
    if (!g.fell_back) {
      const int32_t code = g.groups.Code(from);
      if (code >= 0) {
        std::memcpy(codes + i * sizeof code, &code, sizeof code);
        continue;
      }
      for (size_t c = 0; c < i; ++c) {
        int32_t held;
        std::memcpy(&held, codes + c * sizeof held, sizeof held);
        std::memcpy(plain + c * t.width, g.groups.Text(held), t.width);
      }
      g.fell_back = true;
    }
    std::memcpy(plain + i * t.width, from, t.width);
  }
}

// Copies the values of `count` cases of `case_bytes` each into the targets'
// arrays, from position `first` of each on.
void GatherTile(const std::vector<Target>& targets, const char* cases, size_t case_bytes,
                size_t count, size_t first, bool nan_for_sysmis) {
  for (const Target& t : targets) {
    const char* from = cases + t.offset;
    if (t.grouping != nullptr) {
      GatherCodes(t, from, case_bytes, count, first);
    } else if (t.width == 0) {
      char* to = t.column + first * 8;
      for (size_t i = 0; i < count; ++i, from += case_bytes, to += 8) {
        uint64_t bits;
        std::memcpy(&bits, from, 8);
        if (nan_for_sysmis && bits == kSysmisBits) bits = kNaNBits;
        std::memcpy(to, &bits, 8);
      }
    } else {
      char* to = t.column + first * t.width;
      for (size_t i = 0; i < count; ++i, from += case_bytes, to += t.width) {
        std::memcpy(to, from, t.width);
      }
    }
  }
}

// Gathers the cases a tile at a time, a tile small enough to stay in the
// first-level cache while each target takes its values from it: a value
// read straight from the batch costs a line of the second-level cache.
// Wide cases are gathered a batch at a time: a tile of a few cases would
// pay each target's setup for every few values.
void Gather(const std::vector<Target>& targets, const char* cases, size_t case_bytes,
            size_t count, size_t first, bool nan_for_sysmis) {
  const size_t fit = kTileBytes / case_bytes;
  const size_t tile = fit < kLeastTile ? std::max<size_t>(count, 1) : fit;
  for (size_t done = 0; done < count; done += tile) {
    GatherTile(targets, cases + done * case_bytes, case_bytes, std::min(tile, count - done),
               first + done, nan_for_sysmis);
  }
}

// Reads up to maxCases next cases into the targets' arrays: the body of
// the column calls, all arguments but the handle checked.
int ReadColumns(HandleRecord& r, const std::vector<Target>& targets, int maxCases, int options,
                int* casesRead) {
  if (maxCases == 0) return VEXA_OK;
  if (r.case_state() == kEndOfData) return VEXA_W_END_OF_DATA;
  if (!r.iterator()) return VEXA_E_NO_MEMORY;
  r.set_case_state(kNoCase);
  const bool nan_for_sysmis = (options & VEXA_CASES_NAN_FOR_SYSMIS) != 0;
  const size_t case_bytes = r.CaseBytes();
  const size_t wanted = static_cast<size_t>(maxCases);
  const size_t batch = std::min(wanted, std::max<size_t>(1, kBatchBytes / case_bytes));
  char* const buffer = r.BatchBuffer(batch * case_bytes);
  size_t total = 0;
  while (total < wanted) {
    const size_t want = std::min(batch, wanted - total);
    size_t done = 0;
    size_t got = 0;
    const char* at = nullptr;
    try {
      got = r.iterator()->ReadCasesAt(buffer, want, done, at);
    } catch (...) {
      // The cases before a damaged one are delivered and counted.
      Gather(targets, buffer, case_bytes, done, total, nan_for_sysmis);
      *casesRead = static_cast<int>(total + done);
      throw;
    }
    Gather(targets, at, case_bytes, got, total, nan_for_sysmis);
    total += got;
    *casesRead = static_cast<int>(total);
    // Fewer cases left where the iterator holds them are not the end.
    if (got < want && at == buffer) {
      r.set_case_state(kEndOfData);
      return VEXA_W_END_OF_DATA;
    }
  }
  return VEXA_OK;
}

// The targets of the chosen variables, each grouped whose group has room
// for texts; `groupings` receives the groupings, as many as chosen.
std::vector<Target> Targets(const HandleRecord& r, int numVars, const double* varHandles,
                            void* const* columns, VexaTextGroup* groups,
                            std::vector<std::unique_ptr<Grouping>>& groupings) {
  std::vector<Target> targets;
  if (numVars > 0) {
    Required(varHandles);
    Required(columns);
    targets.reserve(static_cast<size_t>(numVars));
  }
  for (size_t k = 0; k < static_cast<size_t>(numVars); ++k) {
    const auto& [slot, type] = r.DirectoryEntry(varHandles[k]);
    Target t{static_cast<size_t>(slot) * 8, static_cast<size_t>(type),
             static_cast<char*>(Required(columns[k])), nullptr};
    VexaTextGroup* g = groups != nullptr ? &groups[k] : nullptr;
    if (g != nullptr && g->texts != nullptr) {
      if (type == 0) throw std::invalid_argument("a number cannot be grouped");
      if (g->maxTexts < 0 || g->count < 0 || g->count > g->maxTexts) {
        throw std::invalid_argument("a group's count lies outside its room");
      }
      Required(g->plain);
      groupings.push_back(std::make_unique<Grouping>(Grouping{
          TextGroups(t.width, g->texts, static_cast<size_t>(g->maxTexts),
                     static_cast<size_t>(g->count)),
          g}));
      t.grouping = groupings.back().get();
    }
    targets.push_back(t);
  }
  return targets;
}

}  // namespace

extern "C" {

VEXA_API int vexaColumnsIn(int handle, int numVars, const double* varHandles,
                           void* const* columns, int maxCases, int options, int* casesRead) {
  return vexaGroupedColumnsIn(handle, numVars, varHandles, columns, nullptr, maxCases, options,
                              casesRead);
}

VEXA_API int vexaGroupedColumnsIn(int handle, int numVars, const double* varHandles,
                                  void* const* columns, VexaTextGroup* groups, int maxCases,
                                  int options, int* casesRead) {
  if (casesRead) *casesRead = 0;
  std::vector<std::unique_ptr<Grouping>> groupings;
  const int code = Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kRead);
    Required(casesRead);
    if (numVars < 0 || maxCases < 0) throw std::invalid_argument("negative count");
    if ((options & ~VEXA_CASES_NAN_FOR_SYSMIS) != 0) throw std::invalid_argument("unknown option");
    const std::vector<Target> targets = Targets(r, numVars, varHandles, columns, groups, groupings);
    return ReadColumns(r, targets, maxCases, options, casesRead);
  });
  // The texts held are the caller's also after a damaged case.
  for (const auto& g : groupings) {
    g->caller->count = g->fell_back ? -1 : static_cast<int>(g->groups.held());
  }
  return code;
}

}  // extern "C"
