// VEXA_DataSource: the base of every data source. It owns a dictionary and
// delivers (reader) or accepts (writer) cases. The system-file reader and
// writer derive from it, and so do the converting wrappers that present a
// file in the other text encoding.
#pragma once

#include <cstdint>
#include <memory>

#include "dict/case.h"
#include "dict/dictionary.h"

namespace vexa {

class VEXA_DataSource {
 public:
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
