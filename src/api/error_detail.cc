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
    case kErrBadPassword:
      return Sentence("the password does not open \"{}\"", subject);
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

thread_local constinit bool t_has_error_detail = false;

void ForgetErrorDetail() noexcept {
  t_detail.clear();
  t_has_error_detail = false;
}

void SetErrorDetail(std::string_view sentence) noexcept {
  try {
    t_detail.assign(sentence);
  } catch (...) {
    t_detail.clear();  // no memory for the sentence: the code says enough
  }
  t_has_error_detail = !t_detail.empty();
}
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
