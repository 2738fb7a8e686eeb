// Extended formats (subtype 25): unit size 1; for every variable whose print
// or write format type is 54 or above, the formats that the variable record
// cannot carry whole:
//   int32 name length, name (the caller's name), int32 print, int32 write
// each format packed as in the variable (dict/format_code.h).
#include <string>

#include "dict/format_code.h"
#include "dict/names.h"
#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "ext/text_record.h"
#include "support/endian.h"

namespace vexa {
namespace {

constexpr int kFirstExtendedType = 54;

int TypeOf(uint32_t packed) { return static_cast<int>((packed >> 16) & 0xFF); }

void AppendI32(std::string& out, int32_t v) {
  char bytes[4];
  StoreI32(bytes, v);
  out.append(bytes, 4);
}

class SFExtensionFormat : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    std::string out;
    const Dictionary& dictionary = file.dictionary;
    for (int i = 0; i < dictionary.Count(); ++i) {
      const VEXA_Variable& var = dictionary.At(i);
      if (TypeOf(var.PrintFormat()) < kFirstExtendedType &&
          TypeOf(var.WriteFormat()) < kFirstExtendedType) {
        continue;
      }
      AppendI32(out, static_cast<int32_t>(var.Name().size()));
      out += var.Name();
      AppendI32(out, static_cast<int32_t>(var.PrintFormat()));
      AppendI32(out, static_cast<int32_t>(var.WriteFormat()));
    }
    StoreText(rec, out);
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    const std::string_view text = LoadText(rec);
    const bool swap = file.header.byte_swapped;
    Dictionary& dictionary = file.dictionary;
    size_t at = 0;
    while (at < text.size()) {
      if (text.size() - at < 9) {
        ThrowFileError(kErrBadStructure, "{} bytes at byte {} are too few for an entry",
                       text.size() - at, at);
      }
      const int32_t length = LoadI32(text.data() + at, swap);
      if (length < 0 || static_cast<uint64_t>(length) + 12 > text.size() - at) {
        ThrowFileError(kErrBadStructure, "the name length {} at byte {} runs past the end",
                       length, at);
      }
      const std::string key = NameKey(text.substr(at + 4, static_cast<size_t>(length)));
      const char* formats = text.data() + at + 4 + length;
      at += 12 + static_cast<size_t>(length);
      for (int i = 0; i < dictionary.Count(); ++i) {
        if (dictionary.At(i).NameKey() != key) continue;
        VEXA_Variable& var = dictionary.MutableAt(i);
        var.SetPrintFormat(PackFormat(UnpackFormat(static_cast<uint32_t>(LoadI32(formats, swap)))));
        var.SetWriteFormat(
            PackFormat(UnpackFormat(static_cast<uint32_t>(LoadI32(formats + 4, swap)))));
        break;
      }
    }
  }
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& ExtendedFormats() {
  static const SFExtensionFormat kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
