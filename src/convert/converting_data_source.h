// The converting data sources: read-only views of a reader whose text is in
// an encoding the interface does not speak, with every text converted.
//
//   UTF8DataSource      a code-page file presented in UTF-8 (UTF-8 mode);
//                       string widths triple (at most 32,767)
//   CodePageDataSource  a UTF-8 file presented in the current code page
//                       (code-page mode); widths stay
//
// The dictionary is converted once, when the view is built: the file label,
// documents, names (repaired afterwards), variable and value labels, string
// missing values and value label keys, and the attribute and set texts. Each
// case is converted as it is read, value by value, into fields that are cut
// on a character boundary and padded with blanks. A text that does not
// convert cleanly gets "?" for what it lacks; the observer hears about it
// once, when the view is built.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dict/data_source.h"
#include "text/converter.h"

namespace vexa {

class ConvertingDataSource : public VEXA_DataSource {
 public:
  ~ConvertingDataSource() override;

  int64_t CaseCount() const override { return wrapped_->CaseCount(); }
  // An iterator over the wrapped reader's cases, converted into `buffer`
  // (this dictionary's slot count x 8 bytes); null when the reader gives
  // none.
  std::unique_ptr<VEXA_InputCaseIterator> CreateIterator(char* buffer) override;

  VEXA_DataSource& Wrapped() { return *wrapped_; }
  // The encoding the texts are converted from (UTF8DataSource) or to
  // (CodePageDataSource).
  const std::string& TargetEncoding() const { return target_; }
  // True when some text of the dictionary did not convert cleanly.
  bool Lossy() const { return lossy_; }

  // One run of the case layout: numeric values copied, or one string
  // converted. Segments lie end to end in the converted case.
  struct Segment {
    uint32_t source_start;  // 8-byte unit in the wrapped reader's case
    uint32_t output_units;  // 8-byte units in the converted case
    int16_t source_width;   // the string's width in the reader, or
                            // kNumericType for numerics
    // The string's width in this view: a converted value is cut on a
    // character within it (the rest of its units are blanks), so that no
    // caller sees part of a character.
    int16_t output_width;
    bool operator==(const Segment&) const = default;
  };
  const std::vector<Segment>& Segments() const { return segments_; }

 protected:
  enum class Widths { kTriple, kKeep };
  // Takes over the reader and converts its dictionary (the steps above).
  // REQUIRES: a converter opens for `target` (the open checks it first).
  ConvertingDataSource(std::unique_ptr<VEXA_DataSource> wrapped,
                       std::string target, text::Direction direction,
                       Widths widths);

 private:
  class Iterator;
  class Build;

  std::unique_ptr<VEXA_DataSource> wrapped_;
  std::string target_;
  text::Direction direction_;
  std::vector<Segment> segments_;
  bool lossy_ = false;
};

class UTF8DataSource : public ConvertingDataSource {
 public:
  // `target` is the file's encoding. Warning kWarnLossyToUtf8 (with `target`)
  // when lossy and an observer is given.
  UTF8DataSource(std::unique_ptr<VEXA_DataSource> wrapped, std::string target,
                 Observer* observer);
};

class CodePageDataSource : public ConvertingDataSource {
 public:
  // `target` is the current code page's name. Warning kWarnLossyToCodePage, or
  // kWarnLossyToCodePageAlt with `variant`, when lossy and an observer is
  // given.
  CodePageDataSource(std::unique_ptr<VEXA_DataSource> wrapped,
                     std::string target, Observer* observer, bool variant);
};

}  // namespace vexa
