// Reading cases: the next case into the handle's buffer or the caller's
// memory, positioning on a case, and the values of the current case.
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#include "api/call_guard.h"
#include "sysfile/bytecode.h"
#include "vexaio.h"

using namespace vexa;

namespace {

// Reads the next case into the handle's buffer; the result code of the read
// calls (0, or the end of data).
int ReadNext(HandleRecord& r) {
  if (r.case_state() == kEndOfData) return VEXA_W_END_OF_DATA;
  if (!r.iterator()) return VEXA_E_NO_MEMORY;
  if (!r.iterator()->ReadNext()) {
    r.set_case_state(kEndOfData);
    return VEXA_W_END_OF_DATA;
  }
  r.set_case_state(kCurrentCase);
  return VEXA_OK;
}

// Reads the next case into the caller's memory; the value calls then have
// no current case. The result code of the read calls.
int ReadInto(HandleRecord& r, char* dest) {
  if (r.case_state() == kEndOfData) return VEXA_W_END_OF_DATA;
  if (!r.iterator()) return VEXA_E_NO_MEMORY;
  r.set_case_state(kNoCase);
  if (!r.iterator()->ReadNextInto(dest)) {
    r.set_case_state(kEndOfData);
    return VEXA_W_END_OF_DATA;
  }
  return VEXA_OK;
}

// The directory entry of a value call on the current case.
const std::pair<int32_t, int32_t>& CurrentValue(HandleRecord& r,
                                                double var_handle) {
  if (r.case_state() != kCurrentCase) throw ApiError(VEXA_E_NO_CURRENT_CASE);
  return r.DirectoryEntry(var_handle);
}

// Copies a value's n bytes: a short string, the usual value, in two moves
// that may overlap rather than through a call.
inline void CopyText(char* to, const char* from, size_t n) {
  if (n > 8) {
    std::memcpy(to, from, n);
  } else if (n >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + n - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + n - 4, &tail, 4);
  } else {
    for (size_t i = 0; i < n; ++i) to[i] = from[i];
  }
}

// Adjacent numeric slots of a case: the first and how many.
using SlotRun = std::pair<size_t, size_t>;

std::vector<SlotRun> NumericRuns(const Dictionary& dict) {
  std::vector<SlotRun> runs;
  for (int i = 0; i < dict.Count(); ++i) {
    if (!dict.At(i).IsNumeric()) continue;
    const auto slot = static_cast<size_t>(dict.FirstSlot(i));
    if (!runs.empty() && runs.back().first + runs.back().second == slot) {
      ++runs.back().second;
    } else {
      runs.emplace_back(slot, 1);
    }
  }
  return runs;
}

// Four values at a time in vector registers. As doubles, only the
// system-missing bits compare equal to system-missing.
[[gnu::always_inline]] inline void SysmisToNaNQuads(char* slots, size_t count) {
  using Quad = double __attribute__((vector_size(32)));
  using Mask = int64_t __attribute__((vector_size(32)));
  constexpr int64_t kNaNBits = 0x7FF8000000000000;
  const double sysmis = std::bit_cast<double>(kSysmisBits);
  const double nan = std::bit_cast<double>(kNaNBits);
  const Quad sysmis4 = {sysmis, sysmis, sysmis, sysmis};
  const Mask nan4 = {kNaNBits, kNaNBits, kNaNBits, kNaNBits};
  size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    Quad v;
    Mask bits;
    std::memcpy(&v, slots + i * 8, 32);
    std::memcpy(&bits, slots + i * 8, 32);
    const Mask hit = v == sysmis4;
    bits = (bits & ~hit) | (nan4 & hit);
    std::memcpy(slots + i * 8, &bits, 32);
  }
  for (; i < count; ++i) {
    double v;
    std::memcpy(&v, slots + i * 8, 8);
    if (v == sysmis) std::memcpy(slots + i * 8, &nan, 8);
  }
}

// One instruction a step where the processor has 256-bit vectors, two on
// any other x86-64. Chosen by a test at the first call rather than by the
// loader, whose early choice sanitizers do not survive.
[[gnu::target("avx2")]] void SysmisToNaNAvx2(char* slots, size_t count) {
  SysmisToNaNQuads(slots, count);
}

void SysmisToNaN(char* slots, size_t count) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    SysmisToNaNAvx2(slots, count);
  } else {
    SysmisToNaNQuads(slots, count);
  }
}

}  // namespace

extern "C" {

VEXA_API int vexaReadCaseRecord(int handle) {
  return Guarded(kFallbackRead,
                 [&] { return ReadNext(Lookup(handle, Access::kRead)); });
}

VEXA_API int vexaWholeCaseIn(int handle, void* caseRec) {
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kRead);
    if (caseRec == nullptr) return ReadNext(r);  // the case stays current
    return ReadInto(r, static_cast<char*>(caseRec));
  });
}

VEXA_API int vexaWholeCasesInEx(int handle, void* caseRecs, int maxCases, int options,
                               int* casesRead) {
  if (casesRead) *casesRead = 0;
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kRead);
    Required(caseRecs);
    Required(casesRead);
    if (maxCases < 0) throw std::invalid_argument("negative case count");
    if ((options & ~VEXA_CASES_NAN_FOR_SYSMIS) != 0) throw std::invalid_argument("unknown option");
    const std::vector<SlotRun> runs =
        options & VEXA_CASES_NAN_FOR_SYSMIS ? NumericRuns(r.Dict()) : std::vector<SlotRun>();
    if (maxCases == 0) return VEXA_OK;
    if (r.case_state() == kEndOfData) return VEXA_W_END_OF_DATA;
    if (!r.iterator()) return VEXA_E_NO_MEMORY;
    r.set_case_state(kNoCase);
    char* dest = static_cast<char*>(caseRecs);
    const size_t wanted = static_cast<size_t>(maxCases);
    size_t done = 0;
    // The cases delivered are counted and converted also when a damaged
    // case stops the read, while they are still in the cache.
    struct Deliver {
      const std::vector<SlotRun>& runs;
      char* dest;
      size_t bytes;
      size_t& done;
      int* count;
      ~Deliver() {
        for (size_t i = 0; i < done && !runs.empty(); ++i) {
          for (const SlotRun& run : runs) SysmisToNaN(dest + i * bytes + run.first * 8, run.second);
        }
        *count = static_cast<int>(done);
      }
    } deliver{runs, dest, r.CaseBytes(), done, casesRead};
    if (r.iterator()->ReadCasesInto(dest, wanted, done) < wanted) {
      r.set_case_state(kEndOfData);
      return VEXA_W_END_OF_DATA;
    }
    return VEXA_OK;
  });
}

VEXA_API int vexaWholeCasesIn(int handle, void* caseRecs, int maxCases, int* casesRead) {
  return vexaWholeCasesInEx(handle, caseRecs, maxCases, 0, casesRead);
}

VEXA_API int vexaSeekNextCase(int handle, int caseNumber) {
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kRead);
    if (!r.iterator()) return VEXA_E_NO_MEMORY;
    if (caseNumber < 0 || !r.iterator()->Seek(caseNumber)) {
      return VEXA_E_FILE_READ;
    }
    r.set_case_state(kNoCase);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetCasePosition(int handle, long long* position) {
  if (position) *position = -1;
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kRead);
    Required(position);
    if (!r.iterator()) return VEXA_E_NO_MEMORY;
    const int64_t at = r.iterator()->NextCasePosition();
    if (at < 0) return VEXA_E_FILE_READ;
    *position = at;
    return VEXA_OK;
  });
}

VEXA_API int vexaSeekCasePosition(int handle, long long caseNumber, long long position) {
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kRead);
    if (!r.iterator()) return VEXA_E_NO_MEMORY;
    if (!r.iterator()->SeekPosition(caseNumber, position)) return VEXA_E_FILE_READ;
    r.set_case_state(kNoCase);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetValueNumeric(int handle, double varHandle, double* value) {
  if (value) *value = 0.0;
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kRead);
    Required(value);
    const auto& [offset, type] = CurrentValue(r, varHandle);
    if (type != kNumericType) return VEXA_E_NOT_NUMERIC;
    std::memcpy(value, r.case_buffer() + offset * 8, sizeof(double));
    return VEXA_OK;
  });
}

VEXA_API int vexaGetValueChar(int handle, double varHandle, char* value,
                              int valueLen) {
  if (value && valueLen > 0) value[0] = '\0';
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kRead);
    Required(value);
    const auto& [offset, type] = CurrentValue(r, varHandle);
    if (type == kNumericType) return VEXA_E_WRONG_TYPE;
    if (type >= valueLen) return VEXA_E_BUFFER_TOO_SHORT;
    CopyText(value, r.case_buffer() + offset * 8, static_cast<size_t>(type));
    value[type] = '\0';
    return VEXA_OK;
  });
}

}  // extern "C"
