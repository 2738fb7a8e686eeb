// The one place where failures become result codes. Every exported function
// resets its outputs, then runs its body under Guarded(): an ApiError carries
// the call's own result code, exhausted memory (std::bad_alloc) is
// VEXA_E_NO_MEMORY, and any other exception (file errors, data source
// errors, broken contracts) becomes the call's fixed fallback code. Nothing
// escapes into the caller.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "api/api_error.h"
#include "api/error_detail.h"
#include "api/handle_table.h"
#include "vexaio.h"

namespace vexa {

// The sentence for an exception that reached the API layer.
std::string DescribeException(const std::exception& e);

// Runs an exported call's body and returns its code; records the error
// detail of a failure (a nested call's detail is kept) and empties it
// otherwise.
template <class Body>
int Guarded(int fallback, Body&& body) noexcept {
  ClearErrorDetail();
  int code = fallback;
  try {
    code = body();
  } catch (const ApiError& e) {
    code = e.code();
    if (!e.detail().empty()) SetErrorDetail(e.detail());
  } catch (const std::bad_alloc&) {
    code = VEXA_E_NO_MEMORY;
  } catch (const std::exception& e) {
    try {
      SetErrorDetail(DescribeException(e));
    } catch (...) {  // no memory for the sentence
    }
  } catch (...) {
  }
  if (code <= 0) {
    ClearErrorDetail();
  } else if (!HasErrorDetail()) {
    SetErrorDetail(DescribeCode(code));
  }
  return code;
}

// Runs `body` and returns what it returns; a failure in it becomes
// ApiError(code) with the failure's sentence, but exhausted memory stays
// std::bad_alloc (VEXA_E_NO_MEMORY).
template <class Body>
auto FailingAs(int code, Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    throw ApiError(code, DescribeException(e));
  }
}

// Raises ApiError(code) when code is not VEXA_OK.
inline void Check(int code) {
  if (code != VEXA_OK) throw ApiError(code);
}

// Raises the call's fallback for a null required argument: a bad pointer from
// the caller is the one fault we can detect before touching it.
template <class T>
inline T* Required(T* p) {
  if (p == nullptr) throw std::invalid_argument("null argument");
  return p;
}

// Looks the handle up with the access level, raising its code on failure.
inline HandleRecord& Lookup(int handle, Access access) {
  HandleRecord* record = nullptr;
  Check(HandleTable::Instance().Lookup(handle, access, &record));
  return *record;
}

// The position of a named variable; raises VEXA_E_VAR_NOT_FOUND.
inline int RequireVariable(const HandleRecord& record, const char* name) {
  int index = name ? record.FindVariable(name) : -1;
  if (index < 0) throw ApiError(VEXA_E_VAR_NOT_FOUND);
  return index;
}

// Fallback codes.
constexpr int kFallbackHandle = VEXA_E_BAD_HANDLE;
constexpr int kFallbackRead = VEXA_E_FILE_READ;
constexpr int kFallbackWrite = VEXA_E_FILE_WRITE;
constexpr int kFallbackFree = VEXA_E_FREE_FAILED;

}  // namespace vexa
