// User-missing values: up to three discrete values, a range, or a range and
// one value for numeric variables; up to three 8-byte texts for strings.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "api/call_guard.h"
#include "vexaio.h"

using namespace vexa;

namespace {

constexpr int kMaxMissing = 3;
constexpr size_t kMissingTextBytes = 8;

bool IsNumericMissingCount(int count) {
  return count == kMissingRangeAndValue || count == kMissingRange ||
         (count >= 0 && count <= kMaxMissing);
}

// The number of stored values that a missing-value code uses.
int ValuesUsed(int code) { return std::clamp(std::abs(code), 0, kMaxMissing); }

}  // namespace

extern "C" {

VEXA_API int vexaSetVarNMissingValues(int handle, const char* varName,
                                      int missingFormat, double missingVal1,
                                      double missingVal2, double missingVal3) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    int index = RequireVariable(r, varName);
    if (!IsNumericMissingCount(missingFormat)) return VEXA_E_BAD_MISSING_VALUES;
    if (missingFormat < 0 && missingVal1 > missingVal2) {
      return VEXA_E_BAD_MISSING_VALUES;
    }
    if (!r.Dict().At(index).IsNumeric()) return VEXA_E_NOT_NUMERIC;
    // Values beyond the count are stored as zero, as for a new variable.
    double v[kMaxMissing] = {missingVal1, missingVal2, missingVal3};
    std::fill(v + ValuesUsed(missingFormat), v + kMaxMissing, 0.0);
    r.Dict().MutableAt(index).SetMissingNumbers(missingFormat, v[0], v[1],
                                                v[2]);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetVarNMissingValues(int handle, const char* varName,
                                      int* missingFormat, double* missingVal1,
                                      double* missingVal2,
                                      double* missingVal3) {
  double* out[kMaxMissing] = {missingVal1, missingVal2, missingVal3};
  if (missingFormat) *missingFormat = 0;
  for (double* p : out) {
    if (p) *p = 0.0;
  }
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(missingFormat);
    for (double* p : out) Required(p);
    const VEXA_Variable& var = r.Dict().At(RequireVariable(r, varName));
    if (!var.IsNumeric()) return VEXA_E_NOT_NUMERIC;
    int code = var.MissingCode();
    for (int i = 0; i < ValuesUsed(code); ++i) *out[i] = var.MissingNumber(i);
    *missingFormat = code;
    return VEXA_OK;
  });
}

VEXA_API int vexaSetVarCMissingValues(int handle, const char* varName,
                                      int missingFormat,
                                      const char* missingVal1,
                                      const char* missingVal2,
                                      const char* missingVal3) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    int index = RequireVariable(r, varName);
    if (missingFormat < 0 || missingFormat > kMaxMissing) {
      return VEXA_E_BAD_MISSING_VALUES;
    }
    if (r.Dict().At(index).IsNumeric()) return VEXA_E_WRONG_TYPE;
    // Only the values the count uses are read; each must be there.
    const char* given[kMaxMissing] = {missingVal1, missingVal2, missingVal3};
    const char* v[kMaxMissing] = {nullptr, nullptr, nullptr};
    for (int i = 0; i < missingFormat; ++i) v[i] = Required(given[i]);
    r.Dict().MutableAt(index).SetMissingTexts(missingFormat, v[0], v[1], v[2]);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetVarCMissingValues(int handle, const char* varName,
                                      int* missingFormat, char* missingVal1,
                                      char* missingVal2, char* missingVal3) {
  char* out[kMaxMissing] = {missingVal1, missingVal2, missingVal3};
  if (missingFormat) *missingFormat = 0;
  for (char* p : out) {
    if (p) p[0] = '\0';
  }
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(missingFormat);
    for (char* p : out) Required(p);
    const VEXA_Variable& var = r.Dict().At(RequireVariable(r, varName));
    if (var.IsNumeric()) return VEXA_E_WRONG_TYPE;
    int code = var.MissingCode();
    // A string variable narrower than 8 bytes shows only its own width.
    size_t n = std::min(static_cast<size_t>(var.Type()), kMissingTextBytes);
    for (int i = 0; i < ValuesUsed(code); ++i) {
      std::memcpy(out[i], var.MissingRaw()[i].data(), n);
      out[i][n] = '\0';
    }
    *missingFormat = code;
    return VEXA_OK;
  });
}

}  // extern "C"
