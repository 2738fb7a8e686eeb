// ApiError: a result code raised by the API layer itself. Guarded()
// (api/call_guard.h) turns it into the call's result and error detail.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "api/error_detail.h"

namespace vexa {

// A result code with the sentence that explains it when more is known than
// the code says.
class ApiError : public std::exception {
 public:
  explicit ApiError(int code, std::string detail = {})
      : code_(code), detail_(std::move(detail)) {}
  int code() const { return code_; }
  const std::string& detail() const { return detail_; }
  const char* what() const noexcept override {
    return detail_.empty() ? DescribeCode(code_) : detail_.c_str();
  }

 private:
  int code_;
  std::string detail_;
};

}  // namespace vexa
