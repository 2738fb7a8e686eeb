#include "column_names.h"

#include <unordered_map>
#include <unordered_set>

#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

constexpr size_t kMaxNameBytes = 64;

// Length of a valid UTF-8 sequence at s[i] (2 to 4 bytes), or 0.
size_t MultiByteLength(std::string_view s, size_t i) {
  auto b = static_cast<unsigned char>(s[i]);
  size_t n = (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size() || b == 0xC0 || b == 0xC1 || b > 0xF4) {
    return 0;
  }
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

bool IsAsciiNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || c == '@' || c == '#' || c == '$' ||
         c == '_' || c == '.';
}

bool IsReservedWord(const std::string& name) {
  static const char* const kWords[] = {"ALL", "AND", "BY",  "EQ", "GE",
                                       "GT",  "LE",  "LT",  "NE", "NOT",
                                       "OR",  "TO",  "WITH"};
  std::string upper = name;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  for (const char* word : kWords) {
    if (upper == word) return true;
  }
  return false;
}

}  // namespace

std::string MakeVariableName(std::string_view cell, int column) {
  cell = TrimBlanks(cell);
  std::string name;
  for (size_t i = 0; i < cell.size();) {
    size_t n = MultiByteLength(cell, i);
    if (n > 0) {
      name.append(cell.substr(i, n));
      i += n;
    } else {
      name.push_back(IsAsciiNameChar(cell[i]) ? cell[i] : '_');
      ++i;
    }
  }
  if (name.empty()) return "v" + std::to_string(column);
  char first = name[0];
  if ((first >= '0' && first <= '9') || first == '_' || first == '.' ||
      first == '#' || first == '$') {
    name.insert(0, 1, 'v');
  }
  name.resize(WholeUtf8Prefix(name, kMaxNameBytes).size());
  if (IsReservedWord(name)) name.push_back('_');
  if (vexaValidateVarname(name.c_str()) != VEXA_NAME_OK) {
    return "v" + std::to_string(column);
  }
  return name;
}

std::vector<std::string> MakeVariableNames(
    const std::vector<std::string>& header) {
  std::vector<std::string> names;
  names.reserve(header.size());
  std::unordered_set<std::string> taken;  // NameKey of every name given out
  taken.reserve(header.size());             // grown once, not rehashed on the way
  // Per name repeated: the suffix number to try next, so that a name seen
  // n times costs n tries in all, not n * n.
  std::unordered_map<std::string, int> next_suffix;
  for (size_t i = 0; i < header.size(); ++i) {
    const std::string made = MakeVariableName(header[i], static_cast<int>(i) + 1);
    std::string name = made;
    std::string key = NameKey(name);
    if (taken.count(key) > 0) {
      int& n = next_suffix.try_emplace(key, 2).first->second;
      for (;; ++n) {
        const std::string suffix = "_" + std::to_string(n);
        name = WholeUtf8Prefix(made, kMaxNameBytes - suffix.size());
        name += suffix;
        key = NameKey(name);
        if (taken.count(key) == 0) break;
      }
      ++n;
    }
    taken.insert(std::move(key));
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace vexa::tool
