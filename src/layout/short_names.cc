#include "layout/short_names.h"

#include <unordered_set>

#include "support/errors.h"
#include "text/interface_encoding.h"

namespace vexa {
namespace {

// The upper-case name cut to `max_bytes` without splitting a character.
std::string CutOnCharacter(std::string_view text, size_t max_bytes) {
  return std::string(
      text.substr(0, text::WholeCharPrefix(text.data(), text.size(), max_bytes)));
}

std::string StripTrailingDotsAndUnderscores(std::string name) {
  while (!name.empty() && (name.back() == '.' || name.back() == '_')) {
    name.pop_back();
  }
  return name;
}

// V<position>_<suffix> with the first free suffix.
std::string NumberedShortName(int position, const std::string& caller_name,
                              std::unordered_set<std::string>& used) {
  const std::string stem = "V" + std::to_string(position);
  for (uint64_t counter = 0;; ++counter) {
    const std::string suffix = BijectiveBase26(counter);
    const size_t suffix_room = suffix.size() + 1;  // "_" + suffix
    if (suffix_room + 2 > kShortNameBytes) break;  // room for the stem < 2
    std::string candidate =
        CutOnCharacter(stem, kShortNameBytes - suffix_room);
    if (candidate.empty()) break;
    candidate += '_';
    candidate += suffix;
    if (used.insert(candidate).second) return candidate;
  }
  throw ErrorText(kErrNoShortName, caller_name);
}

}  // namespace

std::string BijectiveBase26(uint64_t n) {
  std::string out;
  for (uint64_t v = n + 1; v > 0; v = (v - 1) / 26) {
    out.insert(out.begin(), static_cast<char>('A' + (v - 1) % 26));
  }
  return out;
}

std::string Base36(uint64_t n) {
  static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[n % 36]);
    n /= 36;
  } while (n > 0);
  return out;
}

std::string SegmentStem(std::string_view upper_name) {
  return CutOnCharacter(upper_name, kSegmentStemBytes);
}

std::vector<std::pair<std::string, std::string>> BuildNameMap(
    const Dictionary& dict) {
  const int count = dict.Count();
  std::vector<std::pair<std::string, std::string>> map;
  map.reserve(static_cast<size_t>(count));
  std::unordered_set<std::string> used;
  used.reserve(static_cast<size_t>(count) * 2);

  // Names that are short already come first, so that no formed name can
  // take theirs.
  for (int i = 0; i < count; ++i) {
    const VEXA_Variable& var = dict.At(i);
    map.emplace_back(var.Name(), std::string());
    if (var.NameKey().size() <= kShortNameBytes) {
      map.back().second = var.NameKey();
      used.insert(var.NameKey());
    }
  }
  for (int i = 0; i < count; ++i) {
    auto& entry = map[static_cast<size_t>(i)];
    if (!entry.second.empty()) continue;
    std::string cut = StripTrailingDotsAndUnderscores(
        CutOnCharacter(dict.At(i).NameKey(), kShortNameBytes));
    if (!cut.empty() && used.insert(cut).second) entry.second = std::move(cut);
  }
  for (int i = 0; i < count; ++i) {
    auto& entry = map[static_cast<size_t>(i)];
    if (entry.second.empty()) {
      entry.second = NumberedShortName(i + 1, entry.first, used);
    }
  }
  return map;
}

}  // namespace vexa
