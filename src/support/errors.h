// Failures inside the library are exceptions. Three kinds exist:
//  - SystemFileException: a file-level failure (structure, truncation, I/O)
//    carrying its error number, the text of the failed condition and the
//    source position of the check;
//  - ErrorText: a data source error, "Datasource error # N" optionally
//    "involving" one or two texts (file names, the system's error text);
//  - ContractViolation: an internal precondition that did not hold; its text
//    is the tested expression.
// None of them crosses the C API: the exported functions turn every one into
// their result code (api/call_guard.h).
#pragma once

#include <exception>
#include <string>

namespace vexa {

// Error numbers raised inside the library.
enum ErrorNumber : long {
  kErrWriteFailed = 1002,     // a write to a file failed
  kErrReadFailed = 1003,      // a read from a file failed
  kErrReopen = 1201,          // a file cannot be reopened
  kErrRawCaseWrite = 1202,    // a raw case write failed
  kErrBadStructure = 1204,    // the file's structure is not valid
  kErrTruncated = 1205,       // the file ended inside a fixed-size part
  kErrBadState = 1209,        // the state does not allow the operation
  kErrBadPassword = 1213,     // a password does not open the file
  kErrNeedsPassword = 1214,   // an encrypted file opened without a password
  kErrNoShortName = 1504,     // no short name can be formed
  kErrDuplicateName = 1505,   // duplicate variable name
};

class SystemFileException : public std::exception {
 public:
  SystemFileException(long number, const char* condition, const char* source,
                      int line);

  long number() const { return number_; }
  const char* condition() const { return condition_; }
  const char* source() const { return source_; }
  int line() const { return line_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  long number_;
  const char* condition_;  // static text of the failed check
  const char* source_;     // static source file name
  int line_;
  std::string what_;
};

class ErrorText : public std::exception {
 public:
  explicit ErrorText(long number);
  ErrorText(long number, const std::string& a);
  ErrorText(long number, const std::string& a, const std::string& b);

  long number() const { return number_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  long number_;
  std::string text_;
};

class ContractViolation : public std::exception {
 public:
  ContractViolation(const char* expression, const char* source, int line);
  const char* expression() const { return expression_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  const char* expression_;
  std::string what_;
};

[[noreturn]] void ThrowFileError(long number, const char* condition,
                                 const char* source, int line);
[[noreturn]] void ThrowContractViolation(const char* expression,
                                         const char* source, int line);

}  // namespace vexa

// Checks a condition on file content; raises SystemFileException(number)
// with the condition's text when it does not hold.
#define VEXA_FILE_CHECK(cond, number)                                  \
  do {                                                                 \
    if (!(cond)) ::vexa::ThrowFileError((number), #cond, __FILE__, __LINE__); \
  } while (0)

// Raises SystemFileException(number) with an explicit condition text, for
// checks whose recorded text differs from the code that tests it.
#define VEXA_FILE_FAIL(number, text) \
  ::vexa::ThrowFileError((number), (text), __FILE__, __LINE__)

// An internal precondition. Never stops the process: it raises
// ContractViolation, which the exported functions turn into their fallback.
#define VEXA_ASSERT(cond)                                                  \
  do {                                                                     \
    if (!(cond)) ::vexa::ThrowContractViolation(#cond, __FILE__, __LINE__); \
  } while (0)
