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
    const bool swap = file.header.byte_swapped;
    const char* r = rec.Contents();
    const char* const endr = r + rec.ByteSize();
    auto read_i32 = [&] {
      const int32_t v = LoadI32(r, swap);
      r += 4;
      return v;
    };
    while (r < endr) {
      if (endr - r <= 13) {
        ThrowFileError(kErrBadStructure,
                       "only {} bytes are left at byte {}, too few for "
                       "another variable",
                       endr - r, r - rec.Contents());
      }
      const int32_t nameLength = read_i32();
      // In 64 bits: a length near 2^31 must not wrap past the check.
      if (nameLength < 0 || int64_t{nameLength} + 8 >= endr - r) {
        ThrowFileError(kErrBadStructure,
                       "the name length {} at byte {} is more than the {} "
                       "bytes left",
                       nameLength, r - 4 - rec.Contents(), endr - r);
      }
      const std::string_view name(r, static_cast<size_t>(nameLength));
      r += nameLength;
      const int32_t varType = read_i32();
      const int32_t count = read_i32();

      // Labels apply only to a string variable of this name and width.
      const auto found = by_name.find(NameKey(name));
      const int index = found == by_name.end() ? -1 : found->second;
      const bool applies =
          index >= 0 && varType > 0 && dictionary.At(index).Type() == varType;
      ValueLabelMap labels = applies ? ValueLabelMap(varType) : ValueLabelMap();
      const size_t key_size =
          applies ? static_cast<size_t>(KeyUnitsForWidth(varType)) * 8 : 0;
      std::string key;
      // The length of the value or the text of label k: present, and
      // neither negative nor past the end.
      auto read_length = [&](const char* what, int32_t k) {
        if (endr - r < 4) {
          ThrowFileError(kErrBadStructure,
                         "the record ends where the {} length of label {} of "
                         "{} for {} is due",
                         what, k + 1, count, Quoted{name});
        }
        const int32_t length = read_i32();
        if (length < 0 || length > endr - r) {
          ThrowFileError(kErrBadStructure,
                         "the {} length {} of label {} for {} does not fit in "
                         "the {} bytes left",
                         what, length, k + 1, Quoted{name}, endr - r);
        }
        return length;
      };
      for (int32_t k = 0; k < count; ++k) {
        const int32_t valLen = read_length("value", k);
        if (valLen > varType) {
          ThrowFileError(kErrBadStructure,
                         "the value of label {} for {} is {} bytes long, more "
                         "than the width {}",
                         k + 1, Quoted{name}, valLen, varType);
        }
        const std::string_view value(r, static_cast<size_t>(valLen));
        r += valLen;
        const int32_t labelLen = read_length("label", k);
        const std::string_view label(r, static_cast<size_t>(labelLen));
        r += labelLen;
        if (applies) {
          key.assign(value);
          key.resize(key_size, ' ');
          labels.AddRaw(key, label);
        }
      }
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
