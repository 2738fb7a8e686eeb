// Value labels of long strings (subtype 21): unit size 1, unit count = byte
// length; written only when some string wider than 8 bytes has labels. A
// sequence of variable entries, integers int32:
//   name length, name (the caller's name), width (the variable's width),
//   label count, then per label:
//     value length, value (written as exactly `width` bytes), label length,
//     label
// Such variables get no value label record of their own.
#include <algorithm>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

#include "dict/names.h"
#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "support/endian.h"
#include "support/errors.h"

namespace vexa {
namespace {

void AppendI32(std::string& out, size_t value) {
  char bytes[4];
  StoreI32(bytes, static_cast<int32_t>(value));
  out.append(bytes, 4);
}

void AppendText(std::string& out, std::string_view text) {
  AppendI32(out, text.size());
  out.append(text);
}

// Reads a record's entries front to back; every length is checked against
// the bytes left before what it measures is taken.
class EntryReader {
 public:
  EntryReader(const SystemFileExtensionRecord& rec, bool swap)
      : start_(rec.Contents()),
        r_(start_),
        end_(start_ + rec.ByteSize()),
        swap_(swap) {}

  bool AtEnd() const { return r_ >= end_; }

  int32_t I32() {
    const int32_t v = LoadI32(r_, swap_);
    r_ += 4;
    return v;
  }

  // The name that opens a variable's entry; the name length, the width and
  // the label count must all fit in what is left.
  std::string_view Name() {
    if (end_ - r_ <= 13) {
      ThrowFileError(kErrBadStructure,
                     "only {} bytes are left at byte {}, too few for "
                     "another variable",
                     end_ - r_, r_ - start_);
    }
    const int32_t nameLength = I32();
    // In 64 bits: a length near 2^31 must not wrap past the check.
    if (nameLength < 0 || int64_t{nameLength} + 8 >= end_ - r_) {
      ThrowFileError(kErrBadStructure,
                     "the name length {} at byte {} is more than the {} "
                     "bytes left",
                     nameLength, r_ - 4 - start_, end_ - r_);
    }
    return Take(nameLength);
  }

  // The length of the value or the text of label k of `count` for `name`:
  // present, and neither negative nor past the end.
  int32_t Length(const char* what, int32_t k, int32_t count,
                 std::string_view name) {
    if (end_ - r_ < 4) {
      ThrowFileError(kErrBadStructure,
                     "the record ends where the {} length of label {} of "
                     "{} for {} is due",
                     what, k + 1, count, Quoted{name});
    }
    const int32_t length = I32();
    if (length < 0 || length > end_ - r_) {
      ThrowFileError(kErrBadStructure,
                     "the {} length {} of label {} for {} does not fit in "
                     "the {} bytes left",
                     what, length, k + 1, Quoted{name}, end_ - r_);
    }
    return length;
  }

  // The next `length` bytes, which the caller has checked are there.
  std::string_view Take(int32_t length) {
    const std::string_view bytes(r_, static_cast<size_t>(length));
    r_ += length;
    return bytes;
  }

 private:
  const char* const start_;
  const char* r_;
  const char* const end_;
  const bool swap_;
};

// Reads the `count` labels of the variable `name` of width `width`, adding
// them to `labels` unless it is null (the labels apply to no variable).
void ReadLabels(EntryReader& in, std::string_view name, int32_t width,
                int32_t count, ValueLabelMap* labels) {
  const size_t key_size =
      labels != nullptr ? static_cast<size_t>(KeyUnitsForWidth(width)) * 8 : 0;
  std::string key;
  for (int32_t k = 0; k < count; ++k) {
    const int32_t valLen = in.Length("value", k, count, name);
    if (valLen > width) {
      ThrowFileError(kErrBadStructure,
                     "the value of label {} for {} is {} bytes long, more "
                     "than the width {}",
                     k + 1, Quoted{name}, valLen, width);
    }
    const std::string_view value = in.Take(valLen);
    const std::string_view label = in.Take(in.Length("label", k, count, name));
    if (labels != nullptr) {
      key.assign(value);
      key.resize(key_size, ' ');
      labels->AddRaw(key, label);
    }
  }
}

class SFExtensionVLExtStrings : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    const Dictionary& dictionary = file.dictionary;
    std::string out;
    for (int i = 0; i < dictionary.Count(); ++i) {
      const VEXA_Variable& var = dictionary.At(i);
      const ValueLabelMap& labels = var.ValueLabels();
      if (!labels.IsValid() || labels.Count() == 0 || labels.Width() <= 8) {
        continue;
      }
      const size_t width = static_cast<size_t>(var.Type());
      AppendText(out, var.Name());
      AppendI32(out, width);
      AppendI32(out, static_cast<size_t>(labels.Count()));
      for (const VEXA_VLMapImpl::Entry& entry : labels.Entries()) {
        AppendText(out, std::string_view(entry.key).substr(0, width));
        AppendText(out, entry.label);
      }
    }
    if (out.empty()) return;
    VEXA_ASSERT(out.size() <= std::numeric_limits<int32_t>::max());
    rec.SetUnitSize(1);
    rec.SetNUnits(static_cast<int32_t>(out.size()));
    rec.CopyIn(out.data());
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    Dictionary& dictionary = file.dictionary;
    // Names are matched by their keys, as everywhere: trimmed, upper case.
    std::unordered_map<std::string, int> by_name;
    for (int i = dictionary.Count() - 1; i >= 0; --i) {
      by_name[dictionary.At(i).NameKey()] = i;
    }
    EntryReader in(rec, file.header.byte_swapped);
    while (!in.AtEnd()) {
      const std::string_view name = in.Name();
      const int32_t varType = in.I32();
      const int32_t count = in.I32();
      // Labels apply only to a string variable of this name and width.
      const auto found = by_name.find(NameKey(name));
      const int index = found == by_name.end() ? -1 : found->second;
      const bool applies =
          index >= 0 && varType > 0 && dictionary.At(index).Type() == varType;
      ValueLabelMap labels = applies ? ValueLabelMap(varType) : ValueLabelMap();
      ReadLabels(in, name, varType, count, applies ? &labels : nullptr);
      if (applies) dictionary.MutableAt(index).SetValueLabels(labels);
    }
  }
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& LongStringLabels() {
  static const SFExtensionVLExtStrings kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
