// Failures inside the library are exceptions. Three kinds exist:
//  - SystemFileException: a file-level failure (structure, truncation, I/O)
//    carrying its error number, a sentence about the values involved and,
//    once a reader has added it, the place in the file;
//  - ErrorText: a data source error, "Datasource error # N" optionally
//    "involving" one or two texts (file names, variable names);
//  - ContractViolation: an internal precondition that did not hold; its text
//    is the tested expression.
// None of them crosses the C API: the exported functions turn every one into
// their result code (api/call_guard.h).
#pragma once

#include <concepts>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

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

// what() is "<place>: <message>", or the message alone while no reader has
// said where in the file the failure is.
class SystemFileException : public std::exception {
 public:
  SystemFileException(long number, std::string message);

  long number() const { return number_; }
  const std::string& message() const { return message_; }
  const std::string& place() const { return place_; }
  // Names the place unless one is named already: the reader closest to the
  // failure knows it best.
  void SetPlace(std::string place);
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  long number_;
  std::string message_;
  std::string place_;
  std::string what_;
};

class ErrorText : public std::exception {
 public:
  explicit ErrorText(long number);
  ErrorText(long number, const std::string& a);
  ErrorText(long number, const std::string& a, const std::string& b);

  long number() const { return number_; }
  // The texts the error involves (file or variable names), or empty.
  const std::string& first() const { return first_; }
  const std::string& second() const { return second_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  long number_;
  std::string first_;
  std::string second_;
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

// Text from a file in a sentence: quoted, control characters written as
// \xNN, cut after 64 bytes (at a whole UTF-8 character) with "...".
struct Quoted {
  std::string_view text;
};

// The pieces of a sentence. Integers are written with thousands separators
// ("2,147,483,647"), since most of them are counts, lengths or offsets.
std::string Grouped(int64_t value);
inline std::string SentencePiece(std::string_view text) {
  return std::string(text);
}
std::string SentencePiece(Quoted quoted);
template <std::integral T>
  requires(!std::same_as<T, char> && !std::same_as<T, bool>)
std::string SentencePiece(T value) {
  if constexpr (std::unsigned_integral<T> && sizeof(T) >= sizeof(int64_t)) {
    if (value > static_cast<T>(INT64_MAX)) return std::to_string(value);
  }
  return Grouped(static_cast<int64_t>(value));
}

// Every "{}" of `text` in turn replaced by the next piece.
std::string JoinSentence(std::string_view text,
                         std::initializer_list<std::string> pieces);

// A sentence: Sentence("unit size {} where {} is required", 3, 8).
template <class... Args>
std::string Sentence(std::string_view text, const Args&... args) {
  return JoinSentence(text, {SentencePiece(args)...});
}

// Raises SystemFileException(number) with the sentence that says what is
// wrong with the values in the file, e.g.
//   ThrowFileError(kErrBadStructure, "label count {} is negative", n);
template <class... Args>
[[noreturn]] void ThrowFileError(long number, std::string_view text,
                                 const Args&... args) {
  throw SystemFileException(number, Sentence(text, args...));
}

[[noreturn]] void ThrowContractViolation(const char* expression,
                                         const char* source, int line);

}  // namespace vexa

// An internal precondition. Never stops the process: it raises
// ContractViolation, which the exported functions turn into their fallback.
#define VEXA_ASSERT(cond)                                                  \
  do {                                                                     \
    if (!(cond)) ::vexa::ThrowContractViolation(#cond, __FILE__, __LINE__); \
  } while (0)
