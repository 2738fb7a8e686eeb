#include "dict/set_lines.h"

#include "text/interface_encoding.h"

namespace vexa {
namespace {

std::string Counted(std::string_view text) {
  return std::to_string(text.size()) + " " + std::string(text);
}

// A line being taken apart.
struct Cursor {
  std::string_view line;
  size_t at = 0;

  bool Take(char c) {
    if (at >= line.size() || line[at] != c) return false;
    ++at;
    return true;
  }
  // "<decimal> <bytes>" with at least one digit; a length of 0 must be
  // written "0" and is refused unless `zero_ok`.
  std::optional<std::string_view> Counted(bool zero_ok) {
    const size_t start = at;
    size_t n = 0;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') {
      n = n * 10 + static_cast<size_t>(line[at] - '0');
      if (n > line.size()) return std::nullopt;
      ++at;
    }
    if (at == start || !Take(' ') || n > line.size() - at) return std::nullopt;
    if (n == 0 && (!zero_ok || at - start != 2)) return std::nullopt;
    const std::string_view bytes = line.substr(at, n);
    at += n;
    return bytes;
  }
};

std::vector<std::string> SplitNames(std::string_view text) {
  std::vector<std::string> names;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) names.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  return names;
}

}  // namespace

std::string SetLine(const VariableSet& set, bool upper) {
  std::string out = set.name + "=";
  if (set.type == VariableSet::kCategories) {
    out += "C " + Counted(set.label);
  } else if (set.type == VariableSet::kDichotomies) {
    if (set.flags & VariableSet::kExtended) {
      out += (set.flags & VariableSet::kLabelFromVariables) ? "E 11 " : "E 1 ";
    } else {
      out += "D";
    }
    out += Counted(set.counted_value) + " ";
    out += (set.flags & VariableSet::kLabelFromVariables) ? std::string("0 ")
                                                            : Counted(set.label);
  }
  for (const std::string& name : set.variables) {
    out += ' ';
    out += upper ? text::ToUpper(name) : name;
  }
  return out + "\n";
}

std::optional<VariableSet> ParseSetLine(std::string_view line) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos || eq == 0) return std::nullopt;
  VariableSet set;
  set.name = std::string(line.substr(0, eq));
  Cursor in{line, eq + 1};
  if (line.front() != '$') {
    set.variables = SplitNames(line.substr(in.at));
    return set;
  }
  if (in.Take('C')) {
    set.type = VariableSet::kCategories;
  } else if (in.Take('D')) {
    set.type = VariableSet::kDichotomies;
  } else if (in.Take('E')) {
    set.type = VariableSet::kDichotomies;
    if (!in.Take(' ')) return std::nullopt;
    const size_t end = line.find(' ', in.at);
    if (end == std::string_view::npos) return std::nullopt;
    // Only the flags' first two digits mean something.
    for (size_t k = 0; k < 2 && in.at + k < end; ++k) {
      if (line[in.at + k] == '1') set.flags |= 1u << k;
    }
    in.at = end + 1;
  } else {
    return std::nullopt;
  }
  if (set.type == VariableSet::kDichotomies) {
    const auto value = in.Counted(false);
    if (!value) return std::nullopt;
    set.counted_value = std::string(*value);
  } else if (!in.Take(' ')) {
    return std::nullopt;
  }
  if (set.type == VariableSet::kDichotomies && !in.Take(' ')) return std::nullopt;
  const auto label = in.Counted(true);
  if (!label) return std::nullopt;
  set.label = std::string(*label);
  set.variables = SplitNames(line.substr(in.at));
  return set;
}

void ParseSetLines(std::string_view text, bool add_dollar, std::vector<VariableSet>& sets) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = std::min(text.find('\n', start), text.size());
    size_t content_end = end;
    if (end < text.size() && content_end > start && text[content_end - 1] == '\r') {
      --content_end;
    }
    std::string line(text.substr(start, content_end - start));
    start = end + 1;
    if (line.size() <= 1) continue;
    if (add_dollar && line.front() != '$') line.insert(0, "$");
    std::optional<VariableSet> set = ParseSetLine(line);
    if (!set) continue;
    bool replaced = false;
    for (VariableSet& old : sets) {
      if (old.name == set->name) {
        old = std::move(*set);
        replaced = true;
        break;
      }
    }
    if (!replaced) sets.push_back(std::move(*set));
  }
}

}  // namespace vexa
