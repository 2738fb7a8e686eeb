// Building a case on a write or append handle: every new case starts from
// the template of an empty case (system-missing numerics, blank strings).
#include <cstring>

#include "api/call_guard.h"
#include "vexaio.h"

using namespace vexa;

namespace {

[[gnu::noinline]] int SetNumericGuarded(int handle, double varHandle, double value) {
  return Guarded(kFallbackWrite, [&] {
    HandleRecord& r = Lookup(handle, Access::kData);
    r.PrepareCase();
    const auto& [offset, type] = r.DirectoryEntry(varHandle);
    if (type != kNumericType) return VEXA_E_WRONG_TYPE;
    std::memcpy(r.case_buffer() + offset * 8, &value, sizeof value);
    return VEXA_OK;
  });
}

}  // namespace

extern "C" {

// The call made most often: when there is no detail to clear, the handle
// takes data and a case is under way, storing a numeric value needs no
// guard; everything else takes the guarded way, as every call does.
VEXA_API int vexaSetValueNumeric(int handle, double varHandle, double value) {
  HandleRecord* r = nullptr;
  if (!HasErrorDetail() &&
      HandleTable::Instance().Lookup(handle, Access::kData, &r) == VEXA_OK) {
    if (char* slot = r->NumericInCase(varHandle)) {
      std::memcpy(slot, &value, sizeof value);
      return VEXA_OK;
    }
  }
  return SetNumericGuarded(handle, varHandle, value);
}

VEXA_API int vexaSetValueChar(int handle, double varHandle, const char* value) {
  return Guarded(kFallbackWrite, [&] {
    HandleRecord& r = Lookup(handle, Access::kData);
    Required(value);
    r.PrepareCase();
    const auto& [offset, type] = r.DirectoryEntry(varHandle);
    if (type == kNumericType) return VEXA_E_WRONG_TYPE;
    size_t len = std::strlen(value);
    if (len > static_cast<size_t>(type)) return VEXA_E_VALUE_TOO_LONG;
    char* dest = r.case_buffer() + offset * 8;
    // A string value is blank-padded to its width, never NUL-terminated.
    std::memcpy(dest, value, len);  // NOLINT(bugprone-not-null-terminated-result)
    std::memset(dest + len, ' ', static_cast<size_t>(type) - len);
    return VEXA_OK;
  });
}

}  // extern "C"
