// Case counts, the case size and the special numeric values.
#include <cstdint>

#include "api/call_guard.h"
#include "layout/file_header.h"
#include "vexaio.h"

using namespace vexa;

namespace {

constexpr int64_t kMaxReportedCount = INT32_MAX;
constexpr int64_t kMaxCaseUnits = (int64_t{1} << 28) - 1;

int NumberOfCases(int handle, int* count) {
  if (count) *count = -1;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(count);
    if (r.mode() == HandleMode::kWrite) return VEXA_E_OPENED_FOR_WRITE;
    int64_t n = r.data_source().CaseCount();
    *count = (n < 0 || n > kMaxReportedCount) ? -1 : static_cast<int>(n);
    return VEXA_OK;
  });
}

}  // namespace

extern "C" {

VEXA_API int vexaGetNumberofCases(int handle, int* numCases) {
  return NumberOfCases(handle, numCases);
}

VEXA_API int vexaGetEstimatedNofCases(int handle, int* caseCount) {
  return NumberOfCases(handle, caseCount);
}

VEXA_API int vexaGetCaseSize(int handle, int* caseSize) {
  if (caseSize) *caseSize = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(caseSize);
    if (!r.header_committed()) return VEXA_E_HEADER_NOT_COMMITTED;
    int64_t units = r.Dict().SlotCount();
    *caseSize = units > kMaxCaseUnits ? 0 : static_cast<int>(units * 8);
    return VEXA_OK;
  });
}

VEXA_API double vexaSysmisVal(void) { return SysmisValue(); }

VEXA_API int vexaHostSysmisVal(double* missing) {
  if (missing) *missing = SysmisValue();
  return VEXA_OK;
}

VEXA_API int vexaLowHighVal(double* lowest, double* highest) {
  if (lowest) *lowest = LowestValue();
  if (highest) *highest = HighestValue();
  return VEXA_OK;
}

}  // extern "C"
