// VEXA_DataSource: the base of every data source. It owns a dictionary and
// delivers (reader) or accepts (writer) cases. The system-file reader and
// writer derive from it, and so do the converting wrappers that present a
// file in the other text encoding.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "dict/case.h"
#include "dict/dictionary.h"

namespace vexa {

// Warnings a data source gives its observer. None of them is a result code
// of the interface.
enum WarningNumber : long {
  kWarnLossyToUtf8 = 1701,       // a text of a code-page file did not convert cleanly
  kWarnLossyToCodePage = 1711,   // a text of a UTF-8 file did not convert cleanly
  kWarnLossyToCodePageAlt = 1712,  // the same, for the other caller
  kWarnOtherCodePage = 1721,     // a file in another code page, read unconverted
};

class VEXA_DataSource {
 public:
  // Receives the warnings of the data sources it is given to: a number and
  // one or two texts (a file name, an encoding name). This one ignores
  // them; a receiver that wants them derives from it.
  class Observer {
   public:
    virtual ~Observer() = default;
    virtual void Warning(long number, std::string_view first,
                         std::string_view second) {
      (void)number, (void)first, (void)second;
    }
  };

  VEXA_DataSource() = default;
  VEXA_DataSource(const VEXA_DataSource&) = delete;
  VEXA_DataSource& operator=(const VEXA_DataSource&) = delete;
  virtual ~VEXA_DataSource() = default;

  Dictionary& GetDictionary() { return dictionary_; }
  const Dictionary& GetDictionary() const { return dictionary_; }

  // Number of cases when known, else -1.
  virtual int64_t CaseCount() const { return -1; }

  // An iterator over the cases whose case works on `buffer` (the
  // dictionary's slot count * 8 bytes, owned by the caller), or null when
  // this data source delivers no cases (a writer).
  virtual std::unique_ptr<VEXA_InputCaseIterator> CreateIterator(
      char* buffer) {
    (void)buffer;
    return nullptr;
  }

 protected:
  Dictionary dictionary_;
};

}  // namespace vexa
