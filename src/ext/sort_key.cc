// Sort key of the cases (subtype 23): unit size 1, a text
//   <a>:<b>:<c>! per key ... then per named entry 0x1D <name> 0x1F <number>
// Data entry formatting (subtype 24): unit size 1, an opaque text kept from
// reading to writing.
#include <charconv>
#include <string>

#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "ext/text_record.h"

namespace vexa {
namespace {

constexpr char kEntryMark = '\x1D';
constexpr char kValueMark = '\x1F';

template <class T>
T Number(std::string_view text) {
  T value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

class SFExtensionSortCasesKey : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    const SortInfo& sort = file.dictionary.Meta().sort_info;
    if (sort.keys.empty()) return;
    std::string out;
    for (const auto& key : sort.keys) {
      out += std::to_string(static_cast<uint32_t>(key[0])) + ":" + std::to_string(key[1]) +
             ":" + std::to_string(static_cast<uint32_t>(key[2])) + "!";
    }
    for (const auto& [name, number] : sort.entries) {
      out += kEntryMark + name + kValueMark + std::to_string(number);
    }
    StoreText(rec, out);
  }

  // A text without any 0x1D holds keys only.
  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    const std::string_view text = LoadText(rec);
    if (text.size() <= 1) return;
    SortInfo sort;
    const size_t keys_end = std::min(text.find(kEntryMark), text.size());
    size_t at = 0;
    while (at < keys_end) {
      const size_t bang = text.find('!', at);
      if (bang == std::string_view::npos || bang > keys_end) break;
      const std::string_view piece = text.substr(at, bang - at);
      const size_t c1 = piece.find(':');
      const size_t c2 = c1 == std::string_view::npos ? c1 : piece.find(':', c1 + 1);
      if (c2 != std::string_view::npos) {
        sort.keys.push_back({Number<int32_t>(piece.substr(0, c1)),
                             Number<int32_t>(piece.substr(c1 + 1, c2 - c1 - 1)),
                             Number<int32_t>(piece.substr(c2 + 1))});
      }
      at = bang + 1;
    }
    at = keys_end;
    while (at < text.size()) {
      const size_t end = std::min(text.find(kEntryMark, at + 1), text.size());
      const std::string_view entry = text.substr(at + 1, end - at - 1);
      const size_t mark = entry.find(kValueMark);
      if (mark != std::string_view::npos) {
        sort.entries.emplace_back(std::string(entry.substr(0, mark)),
                                  Number<int64_t>(entry.substr(mark + 1)));
      } else {
        sort.entries.emplace_back(std::string(entry), 0);
      }
      at = end;
    }
    file.dictionary.MutableMeta().sort_info = std::move(sort);
  }
};

class SFExtensionQVFormatting : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    StoreText(rec, file.dictionary.Meta().data_entry);
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    const std::string_view text = LoadText(rec);
    if (text.size() > 1) file.dictionary.MutableMeta().data_entry = std::string(text);
  }
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& SortKey() {
  static const SFExtensionSortCasesKey kHandler;
  return kHandler;
}

const SystemFileExtensionHandler& DataEntry() {
  static const SFExtensionQVFormatting kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
