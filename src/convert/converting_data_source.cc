#include "convert/converting_data_source.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "convert/set_lines.h"
#include "dict/names.h"
#include "support/errors.h"

namespace vexa {
namespace {

constexpr size_t kFileLabelBytes = 64;   // the header's field
constexpr size_t kMissingValueBytes = 8;
constexpr size_t kDocumentLine = kDocumentLineBytes;

// The text records whose contents are in the file's encoding: variable
// sets (5), multiple-response sets (7, 19), attributes (17, 18).
constexpr int kVariableSets = 5;
constexpr int kMultipleResponseSets = 7;
constexpr int kDataFileAttributes = 17;
constexpr int kVariableAttributes = 18;
constexpr int kExtendedMultipleResponseSets = 19;

// Adds the variable at 8-byte unit `start` of the reader's case, of `width`
// there and `new_width` in the view, to `segments`.
void AddSegment(std::vector<ConvertingDataSource::Segment>& segments,
                uint32_t start, int width, int new_width) {
  if (width > 0) {
    segments.push_back({start, static_cast<uint32_t>(SlotsForType(new_width)),
                        static_cast<int16_t>(width),
                        static_cast<int16_t>(new_width)});
    return;
  }
  // Numerics next to each other make one segment.
  if (segments.empty() || segments.back().source_width != 0) {
    segments.push_back({start, 0, 0, 0});
  }
  ++segments.back().output_units;
}

}  // namespace

// Converts the texts of the dictionary in one direction and notes whether
// any conversion was cut or substituted.
class ConvertingDataSource::Build {
 public:
  Build(const std::string& target, text::Direction direction)
      : conv_(text::Converter::Open(target)), direction_(direction) {
    VEXA_ASSERT(conv_.IsOpen());
  }

  std::string Text(std::string_view text) {
    int status = text::kConvertClean;
    std::string out = conv_.ConvertText(direction_, text, &status);
    Note(status);
    return out;
  }
  // At most `size` bytes, cut on a character, trailing blanks removed.
  std::string Bounded(std::string_view text, size_t size) {
    std::string field(size, ' ');
    Field(text, field.data(), size);
    field.resize(TrimTrailingBlanks(field).size());
    return field;
  }
  void Field(std::string_view text, char* field, size_t size) {
    Note(conv_.ConvertField(direction_, text.data(), text.size(), field, size));
  }
  void Note(int status) { lossy = lossy || status != text::kConvertClean; }

  // The documents record, line by line.
  void Documents(Dictionary& dictionary) {
    const VEXA_ExtensionImpl* docs = dictionary.Extensions().Get(kDocumentsType);
    if (docs == nullptr) return;
    const size_t lines = docs->contents.size() / kDocumentLine;
    std::string converted(lines * kDocumentLine, ' ');
    for (size_t i = 0; i < lines; ++i) {
      Field(std::string_view(docs->contents).substr(i * kDocumentLine, kDocumentLine),
            converted.data() + i * kDocumentLine, kDocumentLine);
    }
    dictionary.Extensions().Set(kDocumentsType, 1,
                                static_cast<int64_t>(converted.size()),
                                lines > 0 ? converted.data() : nullptr);
  }

  // The string missing values of `var`, whose width in the reader is
  // `width`. A value whose conversion needs more than 8 bytes is dropped.
  void MissingValues(VEXA_Variable& var, int width) {
    std::string kept[3];
    int n = 0;
    for (int k = 0; k < var.MissingCode() && k < 3; ++k) {
      const auto& raw = var.MissingRaw()[static_cast<size_t>(k)];
      std::string value = Text(TrimTrailingBlanks(std::string_view(
          raw.data(), std::min(static_cast<size_t>(width), kMissingValueBytes))));
      if (value.size() > kMissingValueBytes) {
        lossy = true;
      } else {
        kept[n++] = std::move(value);
      }
    }
    var.SetMissingTexts(n, n > 0 ? kept[0].c_str() : nullptr,
                        n > 1 ? kept[1].c_str() : nullptr,
                        n > 2 ? kept[2].c_str() : nullptr);
  }

  // A converted copy of `labels` for a variable of `new_width`; variables
  // that shared a map share its converted copy.
  const ValueLabelMap& ValueLabels(const ValueLabelMap& labels, int new_width) {
    auto [entry, fresh] = maps_.try_emplace(labels.Identity());
    if (!fresh) return entry->second;
    const int map_width = labels.Width() == 0 ? 0 : new_width;
    const size_t key_bytes = static_cast<size_t>(KeyUnitsForWidth(map_width)) * 8;
    ValueLabelMap converted(map_width);
    std::string key(key_bytes, ' ');
    for (const VEXA_VLMapImpl::Entry& e : labels.Entries()) {
      // Within the width, as keys made from a caller's value are.
      if (map_width > 0) Field(e.key, key.data(), static_cast<size_t>(map_width));
      converted.AddRaw(map_width > 0 ? std::string_view(key) : e.key, Text(e.label));
    }
    entry->second = converted;
    return entry->second;
  }

  AttributeSet Attributes(const AttributeSet& set) {
    AttributeSet converted;
    for (const Attribute& a : set.List()) {
      std::vector<std::string> values;
      values.reserve(a.values.size());
      for (const std::string& v : a.values) values.push_back(Text(v));
      converted.Set(Text(a.name), std::move(values));
    }
    return converted;
  }

  // The attributes of the file and of every variable that has some.
  void AllAttributes(Dictionary& dictionary) {
    dictionary.SetFileAttributes(Attributes(dictionary.FileAttributes()));
    for (int i = 0; i < dictionary.Count(); ++i) {
      if (dictionary.At(i).Attributes().Empty()) continue;
      VEXA_Variable& var = dictionary.MutableAt(i);
      var.SetAttributes(Attributes(var.Attributes()));
    }
  }

  void Sets(Dictionary& dictionary) {
    for (VariableSet& set : dictionary.MutableMeta().sets) {
      set.name = Bounded(set.name, kMaxNameBytes);  // a name, like the variables'
      set.label = Text(set.label);
      set.counted_value = Text(set.counted_value);
      for (std::string& name : set.variables) name = Text(name);
    }
  }

  // The text records kept as they were read.
  void TextRecords(Dictionary& dictionary) {
    for (int type : {kVariableSets, kMultipleResponseSets, kDataFileAttributes,
                     kVariableAttributes, kExtendedMultipleResponseSets}) {
      const VEXA_ExtensionImpl* entry = dictionary.Extensions().Get(type);
      if (entry == nullptr || entry->element_size != 1) continue;
      const std::string converted =
          type == kMultipleResponseSets || type == kExtendedMultipleResponseSets
              ? ConvertSetLines(entry->contents,
                                [this](std::string_view t) { return Text(t); })
              : Text(entry->contents);
      dictionary.Extensions().Set(type, 1, static_cast<int64_t>(converted.size()),
                                  converted.empty() ? nullptr : converted.data());
    }
  }

  bool lossy = false;

 private:
  text::Converter conv_;
  text::Direction direction_;
  std::unordered_map<const void*, ValueLabelMap> maps_;  // by source map
};

// Cases of the wrapped reader, converted in the caller's buffer: the reader
// delivers its case at the start of the buffer, in its own layout, and the
// segments are then moved and converted to their places from the last to
// the first. A segment never lies before its source (widths only grow), so
// no source is overwritten before it is read; a string is copied aside
// first because its converted form may overlap it. The iterator has a
// converter of its own, so iterators and threads never share conversion
// state.
class ConvertingDataSource::Iterator : public VEXA_InputCaseIterator {
 public:
  Iterator(ConvertingDataSource& source, char* buffer)
      : segments_(source.segments_),
        direction_(source.direction_),
        conv_(text::Converter::Open(source.target_)),
        case_(source.dictionary_, buffer) {
    VEXA_ASSERT(conv_.IsOpen());
    size_t at = 0;
    size_t widest = 0;
    for (const Segment& s : segments_) {
      VEXA_ASSERT(at >= static_cast<size_t>(s.source_start) * 8);
      output_starts_.push_back(at);
      at += static_cast<size_t>(s.output_units) * 8;
      widest = std::max(widest, static_cast<size_t>(s.source_width));
    }
    source_value_.reset(new char[std::max<size_t>(widest, 1)]);
    table_ = conv_.TableFor(direction_);
    wrapped_ = source.wrapped_->CreateIterator(buffer);
  }

  bool Valid() const { return wrapped_ != nullptr; }

  bool ReadNext() override {
    if (!wrapped_->ReadNext()) return false;
    char* data = case_.Data();
    for (size_t k = segments_.size(); k-- > 0;) {
      const Segment& s = segments_[k];
      char* to = data + output_starts_[k];
      const char* from = data + static_cast<size_t>(s.source_start) * 8;
      const size_t bytes = static_cast<size_t>(s.output_units) * 8;
      if (s.source_width == kNumericType) {
        if (to != from) std::memmove(to, from, bytes);
        continue;
      }
      // Failures are not reported here: the value keeps "?" for what does
      // not convert and is cut on a character where it does not fit.
      const auto width = static_cast<size_t>(s.output_width);
      const auto source_width = static_cast<size_t>(s.source_width);
      if (to < from + source_width) {  // the converted form overlaps its source
        std::memcpy(source_value_.get(), from, source_width);
        from = source_value_.get();
      }
      if (table_ != nullptr) {
        text::ConvertFieldByTable(*table_, from, source_width, to, width);
      } else {
        conv_.ConvertField(direction_, from, source_width, to, width);
      }
      if (bytes > width) std::memset(to + width, ' ', bytes - width);
    }
    return true;
  }
  bool Seek(int64_t case_number) override { return wrapped_->Seek(case_number); }
  int64_t NextCasePosition() override { return wrapped_->NextCasePosition(); }
  bool SeekPosition(int64_t case_number, int64_t position) override {
    return wrapped_->SeekPosition(case_number, position);
  }
  VEXA_Case& Case() override { return case_; }

 private:
  const std::vector<Segment>& segments_;
  const text::Direction direction_;
  text::Converter conv_;
  const text::SingleByteTable* table_ = nullptr;  // conv_'s, when it has one
  std::vector<size_t> output_starts_;  // byte offset of each segment
  std::unique_ptr<char[]> source_value_;
  VEXA_Case case_;
  std::unique_ptr<VEXA_InputCaseIterator> wrapped_;
};

ConvertingDataSource::ConvertingDataSource(
    std::unique_ptr<VEXA_DataSource> wrapped, std::string target,
    text::Direction direction, Widths widths)
    : wrapped_(std::move(wrapped)),
      target_(std::move(target)),
      direction_(direction) {
  VEXA_ASSERT(wrapped_ != nullptr);
  const Dictionary& source = wrapped_->GetDictionary();
  dictionary_ = source;
  Build b(target_, direction_);
  // Sets name their variables; taken before any name is converted, cut or
  // repaired, the members stay with their variables through all of it
  // (two names that convert alike stay apart).
  const SetMembers members = FindSetMembers(source);

  dictionary_.SetIdString(b.Bounded(dictionary_.IdString(), kFileLabelBytes));
  b.Documents(dictionary_);
  for (int i = 0; i < dictionary_.Count(); ++i) {
    const int width = source.At(i).Type();
    const int new_width =
        widths == Widths::kTriple ? std::min(3 * width, kMaxStringWidth) : width;
    if (new_width != width) dictionary_.SetVariableType(i, new_width);
    VEXA_Variable& var = dictionary_.MutableAt(i);
    var.SetName(b.Bounded(var.Name(), kMaxNameBytes));
    if (var.HasLabel()) var.SetLabel(b.Text(var.Label()));
    if (width > 0 && var.MissingCode() > 0) b.MissingValues(var, width);
    if (var.ValueLabels().IsValid()) {
      var.SetValueLabels(b.ValueLabels(var.ValueLabels(), new_width));
    }
    AddSegment(segments_, static_cast<uint32_t>(source.FirstSlot(i)), width,
               new_width);
  }
  b.AllAttributes(dictionary_);
  // Converted names may be invalid ("?") or collide; the reader lower-cased
  // them already where the file had no long names.
  RepairNames(dictionary_, true);
  b.Sets(dictionary_);
  FollowSetMembers(dictionary_, members);
  b.TextRecords(dictionary_);
  lossy_ = b.lossy;
}

ConvertingDataSource::~ConvertingDataSource() = default;

std::unique_ptr<VEXA_InputCaseIterator> ConvertingDataSource::CreateIterator(
    char* buffer) {
  auto iterator = std::make_unique<Iterator>(*this, buffer);
  if (!iterator->Valid()) return nullptr;
  return iterator;
}

UTF8DataSource::UTF8DataSource(std::unique_ptr<VEXA_DataSource> wrapped,
                               std::string target, Observer* observer)
    : ConvertingDataSource(std::move(wrapped), std::move(target),
                           text::Direction::kToUtf8, Widths::kTriple) {
  if (Lossy() && observer != nullptr) {
    observer->Warning(kWarnLossyToUtf8, TargetEncoding(), {});
  }
}

CodePageDataSource::CodePageDataSource(std::unique_ptr<VEXA_DataSource> wrapped,
                                       std::string target, Observer* observer,
                                       bool variant)
    : ConvertingDataSource(std::move(wrapped), std::move(target),
                           text::Direction::kFromUtf8, Widths::kKeep) {
  if (Lossy() && observer != nullptr) {
    observer->Warning(variant ? kWarnLossyToCodePageAlt : kWarnLossyToCodePage,
                      TargetEncoding(), {});
  }
}

}  // namespace vexa
