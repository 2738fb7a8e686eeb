// Reading cases: the next case into the handle's buffer or the caller's
// memory, positioning on a case, and the values of the current case.
#include <cstring>
#include <stdexcept>

#include "api/call_guard.h"
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

// The directory entry of a value call on the current case.
const std::pair<int32_t, int32_t>& CurrentValue(HandleRecord& r,
                                                double var_handle) {
  if (r.case_state() != kCurrentCase) throw ApiError(VEXA_E_NO_CURRENT_CASE);
  return r.DirectoryEntry(var_handle);
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
    int code = ReadNext(r);
    if (code == VEXA_OK && caseRec != nullptr) {
      std::memcpy(caseRec, r.case_buffer(), r.CaseBytes());
      r.set_case_state(kNoCase);
    }
    return code;
  });
}

VEXA_API int vexaWholeCasesIn(int handle, void* caseRecs, int maxCases,
                             int* casesRead) {
  if (casesRead) *casesRead = 0;
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kRead);
    Required(caseRecs);
    Required(casesRead);
    if (maxCases < 0) throw std::invalid_argument("negative case count");
    const size_t size = r.CaseBytes();
    char* dest = static_cast<char*>(caseRecs);
    for (int i = 0; i < maxCases; ++i, dest += size) {
      // A failing read leaves the count at the cases before it.
      int code = ReadNext(r);
      if (code != VEXA_OK) return code;
      std::memcpy(dest, r.case_buffer(), size);
      r.set_case_state(kNoCase);
      *casesRead = i + 1;
    }
    return VEXA_OK;
  });
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
    if (type != 0) return VEXA_E_NOT_NUMERIC;
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
    if (type == 0) return VEXA_E_WRONG_TYPE;
    if (type >= valueLen) return VEXA_E_BUFFER_TOO_SHORT;
    std::memcpy(value, r.case_buffer() + offset * 8, type);
    value[type] = '\0';
    return VEXA_OK;
  });
}

}  // extern "C"
