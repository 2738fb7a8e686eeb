// Long variable names (subtype 13): unit size 1, unit count = text length.
// One entry per variable as the caller defined it (before very long strings
// were split), in dictionary order, entries separated by a TAB, none after
// the last, no terminating NUL:
//   SHORT=long name<TAB>SHORT=long name ...
// Reading also accepts a TAB after the last entry.
#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dict/names.h"
#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "support/errors.h"

namespace vexa {
namespace {

// Reading: the variable records' names and the record's short names are
// matched by their keys (trimmed, upper case), as names are everywhere; the
// first pair of a key wins.
void RenameByKeys(Dictionary& dictionary, const NamePairs& pairs) {
  std::unordered_map<std::string, const std::string*> by_key;
  by_key.reserve(pairs.size());
  for (const auto& [short_name, long_name] : pairs) {
    by_key.emplace(NameKey(short_name), &long_name);
  }
  for (int i = 0; i < dictionary.Count(); ++i) {
    const auto it = by_key.find(dictionary.At(i).NameKey());
    if (it != by_key.end() && *it->second != dictionary.At(i).Name()) {
      dictionary.MutableAt(i).SetName(*it->second);
    }
  }
  // The plain set records, read before this one, name variables by their
  // short names.
  for (VariableSet& set : dictionary.MutableMeta().sets) {
    for (std::string& name : set.variables) {
      const auto it = by_key.find(NameKey(name));
      if (it != by_key.end()) name = *it->second;
    }
  }
}

class SFExtensionExtNames : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    const NamePairs& map = file.plan.name_map;
    if (map.empty()) return;
    size_t size = 0;
    for (const auto& [name, short_name] : map) {
      size += name.size() + short_name.size() + 2;
    }
    std::string text;
    text.reserve(size - 1);
    for (const auto& [name, short_name] : map) {
      if (!text.empty()) text += '\t';
      text.append(short_name).append(1, '=').append(name);
    }
    rec.SetUnitSize(1);
    rec.SetNUnits(static_cast<int32_t>(text.size()));
    rec.CopyIn(text.data());
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    file.header.long_names = true;
    if (rec.UnitSize() != 1) {
      ThrowFileError(kErrBadStructure, "unit size {} where 1 is required",
                     rec.UnitSize());
    }
    const std::string_view extString(rec.Contents(), rec.ByteSize());
    const size_t len = extString.size();
    constexpr size_t notFound = std::string_view::npos;
    NamePairs& pairs = file.name_table;
    size_t pos = 0;
    while (pos < len) {
      const size_t i = extString.find_first_of("=\t", pos);
      if (i == notFound || extString[i] != '=') {
        ThrowFileError(kErrBadStructure, "the entry {} at byte {} has no \"=\"",
                       Quoted{extString.substr(pos, i - pos)}, pos);
      }
      size_t j = extString.find_first_of("=\t", i + 1);
      if (j == notFound) j = len;
      if (j != len && extString[j] != '\t') {
        ThrowFileError(kErrBadStructure,
                       "the entry {} at byte {} has a second \"=\"",
                       Quoted{extString.substr(pos, j + 1 - pos)}, pos);
      }
      pairs.emplace_back(std::string(extString.substr(pos, i - pos)),
                         std::string(extString.substr(i + 1, j - i - 1)));
      pos = j + 1;
    }
    if (!pairs.empty()) RenameByKeys(file.dictionary, pairs);
  }
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& LongNames() {
  static const SFExtensionExtNames kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
