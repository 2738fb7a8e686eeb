// Very long strings (subtype 14): unit size 1, unit count = text length;
// written only when some string is wider than 255 bytes. One entry per such
// variable in dictionary order, each followed by a NUL and a TAB:
//   SHORT=width\0\t SHORT=width\0\t ...
// SHORT is the variable's short name, width at most 5 decimal digits. In the
// file the variable is a run of segment variables (layout/long_strings.h),
// all named after the stem of the first. Reading merges each run back into
// one variable and records where the string lies in the two case layouts.
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dict/format_code.h"
#include "dict/names.h"
#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "layout/long_strings.h"
#include "support/errors.h"
#include "text/interface_encoding.h"

namespace vexa {
namespace {

using long_strings::SegmentCount;

NamePairs SortedByFirst(NamePairs pairs) {
  std::stable_sort(
      pairs.begin(), pairs.end(),
      [](const auto& a, const auto& b) { return a.first < b.first; });
  return pairs;
}

// The pair whose first is `key`, or null.
const std::pair<std::string, std::string>* Find(const NamePairs& sorted,
                                                std::string_view key) {
  auto it = std::lower_bound(
      sorted.begin(), sorted.end(), key,
      [](const auto& pair, std::string_view k) { return pair.first < k; });
  return it != sorted.end() && it->first == key ? &*it : nullptr;
}

// Whether the variables from `first` on are the segments of a string of
// `width` as the writer lays them out; none of them may belong to another
// string already.
bool SegmentsMatch(const Dictionary& dictionary, int first, int width,
                   const std::vector<bool>& claimed) {
  if (width < long_strings::kMinWidth || width > long_strings::kMaxWidth) {
    return false;
  }
  const int full = width / long_strings::kWidthPerSegment;
  const int rest = width % long_strings::kWidthPerSegment;
  if (first + SegmentCount(width) > dictionary.Count()) return false;
  const std::string& key = dictionary.At(first).NameKey();
  const std::string_view stem(key.data(),
                              text::WholeCharPrefix(key.data(), key.size(), 5));
  for (int k = first; k < first + SegmentCount(width); ++k) {
    if (claimed[static_cast<size_t>(k)]) return false;
  }
  for (int k = first; k < first + full; ++k) {
    const VEXA_Variable& segment = dictionary.At(k);
    if (segment.Type() != long_strings::kSegmentWidth) return false;
    if (!std::string_view(segment.NameKey()).starts_with(stem)) return false;
  }
  if (rest > 0) {
    const int last_width = dictionary.At(first + full).Type();
    if (last_width < rest || last_width > 8 * ((rest + 7) / 8)) return false;
  }
  return true;
}

// Variable indexes by name key.
using NameIndex = std::unordered_map<std::string, int>;

// The long names record's pairs by their keys (trimmed, upper case), sorted
// by short name: names are matched by their keys, as everywhere.
NamePairs KeyedRenames(const NamePairs& name_table) {
  NamePairs renames;
  renames.reserve(name_table.size());
  for (const auto& [short_name, long_name] : name_table) {
    renames.emplace_back(NameKey(short_name), NameKey(long_name));
  }
  return SortedByFirst(std::move(renames));
}

// The short name of the entry at `content`: what comes before its "=",
// which must be within the first 16 bytes.
std::string_view EntryName(const char* content, const char* end,
                           const char* record_start) {
  const char* const window = content + std::min<ptrdiff_t>(16, end - content);
  const char* const equal = std::find(content, window, '=');
  if (equal == window) {
    ThrowFileError(
        kErrBadStructure,
        "the entry {} at byte {} has no \"=\" in its first 16 bytes",
        Quoted{std::string_view(content, static_cast<size_t>(end - content))},
        content - record_start);
  }
  return {content, static_cast<size_t>(equal - content)};
}

// The index of the variable that the short name `name` stands for.
int VariableNamed(std::string_view name, const NamePairs& renames,
                  const NameIndex& by_name) {
  const auto* rename = Find(renames, NameKey(name));
  if (rename == nullptr) {
    ThrowFileError(kErrBadStructure,
                   "the short name {} is not in the long names record",
                   Quoted{name});
  }
  const auto found = by_name.find(rename->second);
  if (found == by_name.end()) {
    ThrowFileError(kErrBadStructure, "no variable is named {}",
                   Quoted{rename->second});
  }
  return found->second;
}

// Reads the width of `name`'s entry from `lengthString` on: at most 5
// decimal digits ended by a NUL or TAB. Returns the end of the digits.
const char* ParseWidth(const char* lengthString, const char* end,
                       std::string_view name, int* width) {
  const char* const digits_end =
      lengthString + std::min<ptrdiff_t>(10, end - lengthString);
  const char* const endLen =
      std::find_if(lengthString, digits_end,
                   [](char c) { return c == '\t' || c == '\0'; });
  if (endLen == digits_end || endLen - lengthString > 5) {
    ThrowFileError(kErrBadStructure,
                   "the width of {} does not end with a NUL or TAB within "
                   "5 characters",
                   Quoted{name});
  }
  const char* const endDigits = std::find_if(
      lengthString, endLen, [](char c) { return c < '0' || c > '9'; });
  if (endLen != endDigits) {
    ThrowFileError(kErrBadStructure, "the width {} of {} is not a number",
                   Quoted{std::string_view(
                       lengthString, static_cast<size_t>(endLen - lengthString))},
                   Quoted{name});
  }
  *width = 0;
  for (const char* p = lengthString; p < endDigits; ++p) {
    *width = *width * 10 + (*p - '0');
  }
  return endDigits;
}

// Steps over the NULs and TABs after `name`'s entry, at most 2 of them.
const char* SkipSeparators(const char* endDigits, const char* end,
                           std::string_view name) {
  const char* content = endDigits;
  while (content < end && (*content == '\0' || *content == '\t')) {
    if (++content - endDigits >= 3) {
      ThrowFileError(kErrBadStructure,
                     "more than 2 NUL or TAB bytes follow the entry of {}",
                     Quoted{name});
    }
  }
  return content;
}

// Marks the segments of the string of `width` at `first` as taken; all but
// the first lose their names, which then find no variable.
void ClaimSegments(Dictionary& dictionary, int first, int width,
                   std::vector<bool>& claimed, NameIndex& by_name) {
  for (int k = first; k < first + SegmentCount(width); ++k) {
    claimed[static_cast<size_t>(k)] = true;
    if (k == first) continue;
    auto stale = by_name.find(dictionary.At(k).NameKey());
    if (stale != by_name.end() && stale->second == k) by_name.erase(stale);
    dictionary.MutableAt(k).SetName("");
  }
}

// Where each string (index, width; sorted) lies in the file, while the
// segments still stand, and in memory once they are merged.
void RecordStringPlaces(const Dictionary& dictionary,
                        const std::vector<std::pair<int, int>>& merges,
                        CaseLayout& layout) {
  layout.strings.clear();
  int64_t shrink = 0;  // file slots the strings before take beyond memory
  for (const auto& [index, width] : merges) {
    const int64_t file_slot = dictionary.FirstSlot(index);
    layout.strings.push_back({file_slot - shrink, file_slot, width});
    shrink += long_strings::FileSlots(width) - long_strings::MemorySlots(width);
  }
}

// Replaces each run of segments (index, width; sorted) by one string
// variable of the full width, from the last run to the first.
void MergeSegments(Dictionary& dictionary,
                   const std::vector<std::pair<int, int>>& merges) {
  for (auto it = merges.rbegin(); it != merges.rend(); ++it) {
    const auto [index, width] = *it;
    VEXA_Variable merged = dictionary.At(index);
    dictionary.Remove(index, index + SegmentCount(width) - 1);
    merged.SetType(width);
    const uint32_t format =
        PackFormat({static_cast<uint16_t>(width), kFormatString, 0});
    merged.SetPrintFormat(format);
    merged.SetWriteFormat(format);
    dictionary.Insert(index, merged);
  }
}

class SFExtensionExtStrings : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    std::string text;
    for (const VeryLongString& s : file.plan.very_long_strings) {
      text.append(s.short_name)
          .append(1, '=')
          .append(std::to_string(s.width))
          .append(1, '\0')
          .append(1, '\t');
    }
    if (text.empty()) return;
    rec.SetUnitSize(1);
    rec.SetNUnits(static_cast<int32_t>(text.size()));
    rec.CopyIn(text.data());
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    Dictionary& dictionary = file.dictionary;
    const NamePairs renames = KeyedRenames(file.name_table);
    NameIndex by_name;
    for (int i = dictionary.Count() - 1; i >= 0; --i) {
      by_name[dictionary.At(i).NameKey()] = i;  // the first of equal names wins
    }
    std::vector<bool> claimed(static_cast<size_t>(dictionary.Count()), false);
    std::vector<std::pair<int, int>> merges;

    const char* content = rec.Contents();
    const char* const end = content + rec.ByteSize();
    while (content < end) {
      const std::string_view name = EntryName(content, end, rec.Contents());
      const int varIndex = VariableNamed(name, renames, by_name);
      int width = 0;
      const char* const endDigits =
          ParseWidth(name.data() + name.size() + 1, end, name, &width);
      if (SegmentsMatch(dictionary, varIndex, width, claimed)) {
        ClaimSegments(dictionary, varIndex, width, claimed, by_name);
        merges.emplace_back(varIndex, width);
      }  // else: not laid out as a very long string; the variables stay
      content = SkipSeparators(endDigits, end, name);
    }
    if (merges.empty()) return;

    std::sort(merges.begin(), merges.end());
    RecordStringPlaces(dictionary, merges, file.header.case_layout);
    MergeSegments(dictionary, merges);
  }
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& VeryLongStrings() {
  static const SFExtensionExtStrings kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
