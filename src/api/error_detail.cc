#include "api/error_detail.h"

#include "api/call_guard.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "support/errors.h"
#include "vexaio.h"

namespace vexa {
namespace {

thread_local std::string t_detail;

// The sentence for a data source error; its what() keeps the system's own
// "Datasource error # N involving X" form.
std::string DescribeErrorText(const ErrorText& e) {
  const std::string& subject = e.first();
  switch (e.number()) {
    case kErrWriteFailed:
      return subject.empty() ? "writing to the file failed"
                             : Sentence("writing to \"{}\" failed", subject);
    case kErrReadFailed:
      return subject.empty() ? "reading the file failed"
                             : Sentence("\"{}\" cannot be read", subject);
    case kErrBadState:
      return "the file's state does not allow the operation: its header is "
             "committed already, or cases are being read from it";
    case kErrNoShortName:
      return Sentence("no unused short name can be formed for the variable {}",
                      Quoted{subject});
    case kErrDuplicateName:
      return Sentence("the variable name {} is used twice (names that differ "
                      "only in case are the same)",
                      Quoted{subject});
    default:
      return e.what();
  }
}

}  // namespace

const char* DescribeCode(int code) {
  switch (code) {
    case VEXA_E_FILE_OPEN: return "the file cannot be opened, created or written";
    case VEXA_E_FILE_WRITE: return "a case could not be written to the file";
    case VEXA_E_FILE_READ: return "the file cannot be read";
    case VEXA_E_TOO_MANY_FILES: return "all 100 handles are in use";
    case VEXA_E_BAD_HANDLE: return "the handle is not open";
    case VEXA_E_DICTIONARY: return "the dictionary has no variables or two names that differ only in case";
    case VEXA_E_NO_MEMORY: return "memory could not be obtained, or the cases cannot be read";
    case VEXA_E_OPENED_FOR_READ: return "the handle was opened for reading";
    case VEXA_E_OPENED_FOR_WRITE: return "the handle was opened for writing or appending";
    case VEXA_E_BAD_VAR_NAME: return "the variable name is not valid";
    case VEXA_E_NO_VARIABLES: return "the dictionary has no variables";
    case VEXA_E_VAR_NOT_FOUND: return "no variable has that name or index";
    case VEXA_E_DUPLICATE_VAR: return "a variable of that name exists already";
    case VEXA_E_NOT_NUMERIC: return "the variable is not numeric";
    case VEXA_E_WRONG_TYPE: return "the variable is not a string";
    case VEXA_E_BAD_VAR_TYPE: return "the variable type is above 32,767";
    case VEXA_E_BAD_MISSING_VALUES: return "the missing values are not valid";
    case VEXA_E_BAD_PRINT_FORMAT: return "the print format is not valid";
    case VEXA_E_BAD_WRITE_FORMAT: return "the write format is not valid";
    case VEXA_E_BAD_DATE: return "the date is not valid";
    case VEXA_E_BAD_TIME: return "the time is not valid";
    case VEXA_E_WIDTH_MISMATCH: return "the string variables have different widths";
    case VEXA_E_NO_FILE_INFO: return "there is no system file behind the handle";
    case VEXA_E_HEADER_COMMITTED: return "the header is committed already";
    case VEXA_E_HEADER_NOT_COMMITTED: return "the header is not committed yet";
    case VEXA_E_NO_RELEASE_INFO: return "the file has no release information";
    case VEXA_E_BAD_DATE_VARIABLES: return "the date variables are not valid";
    case VEXA_E_VALUE_TOO_LONG: return "the value is longer than the variable is wide";
    case VEXA_E_FREE_FAILED: return "the arrays could not be released";
    case VEXA_E_BUFFER_TOO_SHORT: return "the buffer is too short";
    case VEXA_E_NO_CURRENT_CASE: return "no case has been read yet";
    case VEXA_E_CANNOT_APPEND: return "cases cannot be added to this file";
    case VEXA_E_BAD_MEASURE_LEVEL: return "the measurement level is not valid";
    case VEXA_E_BAD_EXTENSION: return "the extension subtype is reserved or its data is not valid";
    case VEXA_E_BAD_VAR_HANDLE: return "the variable handle is out of range";
    case VEXA_E_BAD_ENCODING_MODE: return "the interface encoding must be 0 or 1";
    case VEXA_E_FILES_OPEN: return "the setting cannot change while files are open";
    case VEXA_E_BAD_MULT_RESP: return "the multiple-response set is not valid";
    case VEXA_E_BAD_MULT_RESP_NAME: return "a multiple-response set name must begin with \"$\"";
    case VEXA_E_DUPLICATE_MULT_RESP: return "a multiple-response set of that name exists already";
    case VEXA_E_BAD_SUBTYPE: return "the extension subtype is outside 0 to 40";
    case VEXA_E_BAD_ATTRIBUTE_NAME: return "the attribute name or subscript is not valid";
    case VEXA_E_BAD_ATTRIBUTE_ARGS: return "the attribute name or value is missing";
    case VEXA_E_BAD_MULT_RESP_INDEX: return "no multiple-response set has that index";
    case VEXA_E_BAD_VARIABLE_SETS: return "the variable sets text is not valid";
    case VEXA_E_BAD_ROLE: return "the role is not valid";
    case VEXA_E_BAD_PASSWORD: return "the password is too long, or it does not open the file";
    case VEXA_E_NO_PASSWORD: return "the file needs a password";
    default: return "the call failed";
  }
}

std::string DescribeException(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
    return "memory could not be obtained";
  }
  if (dynamic_cast<const std::invalid_argument*>(&e) != nullptr) {
    return "a required argument is NULL";
  }
  if (const auto* text = dynamic_cast<const ErrorText*>(&e)) {
    return DescribeErrorText(*text);
  }
  return e.what();
}

void ClearErrorDetail() noexcept { t_detail.clear(); }

void SetErrorDetail(std::string_view sentence) noexcept {
  try {
    t_detail.assign(sentence);
  } catch (...) {
    t_detail.clear();  // no memory for the sentence: the code says enough
  }
}
bool HasErrorDetail() noexcept { return !t_detail.empty(); }
const std::string& ErrorDetail() { return t_detail; }

}  // namespace vexa

extern "C" {

VEXA_API int vexaGetLastErrorDetail(char* buffer, int length) {
  if (buffer == nullptr || length < 1) return VEXA_E_BUFFER_TOO_SHORT;
  const std::string& detail = vexa::ErrorDetail();
  size_t n = std::min(detail.size(), static_cast<size_t>(length) - 1);
  // Never end inside a UTF-8 sequence.
  while (n > 0 && n < detail.size() &&
         (static_cast<unsigned char>(detail[n]) & 0xC0) == 0x80) {
    --n;
  }
  std::memcpy(buffer, detail.data(), n);
  buffer[n] = '\0';
  return VEXA_OK;
}

}  // extern "C"
