#include "dict/names.h"

#include <array>

#include "text/interface_encoding.h"

namespace vexa {
namespace {

constexpr size_t kMaxNameBytes = 64;
// Case mapping keeps byte lengths, so this only bounds hostile names.
constexpr size_t kMaxKeyBytes = 128;

constexpr std::array<std::string_view, 13> kReservedWords = {
    "ALL", "AND", "BY", "EQ", "GE", "GT", "LE",
    "LT",  "NE",  "NOT", "OR", "TO", "WITH"};

bool IsAsciiLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// A one-byte character allowed in a name: bytes of 128 and above belong to
// the code page and are accepted anywhere.
bool IsAllowedSingleByte(unsigned char c) {
  return c >= 0x80 || IsAsciiLetter(c) || IsAsciiDigit(c) || c == '@' ||
         c == '#' || c == '$' || c == '_' || c == '.';
}

// Walks the name character by character in the interface encoding; false at
// the first invalid sequence or disallowed one-byte character.
bool HasOnlyAllowedChars(std::string_view name) {
  size_t pos = 0;
  while (pos < name.size()) {
    const int n = text::CharLength(name.data() + pos, name.size() - pos);
    if (n < 0) return false;
    if (n <= 1) {  // 0 is an embedded NUL, which is not allowed
      if (n == 0 || !IsAllowedSingleByte(name[pos])) return false;
      pos += 1;
    } else {
      pos += static_cast<size_t>(n);
    }
  }
  return true;
}

bool IsReservedWord(std::string_view name) {
  for (std::string_view word : kReservedWords) {
    if (word.size() != name.size()) continue;
    bool same = true;
    // ASCII only: the runtime library's toupper follows the locale, and in
    // some locales "i" does not upper-case to "I".
    for (size_t i = 0; i < name.size() && same; ++i) {
      char c = name[i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      same = c == word[i];
    }
    if (same) return true;
  }
  return false;
}

}  // namespace

std::string_view TrimTrailingBlanks(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  return text.substr(0, end);
}

std::string_view TrimBlanks(std::string_view text) {
  text = TrimTrailingBlanks(text);
  size_t start = 0;
  while (start < text.size() && text[start] == ' ') ++start;
  return text.substr(start);
}

NameCheck CheckVariableName(std::string_view name) {
  name = TrimTrailingBlanks(name);
  if (name.empty() || name.size() > kMaxNameBytes) return kNameBadLength;
  if (!HasOnlyAllowedChars(name)) return kNameBadChar;
  const unsigned char first = static_cast<unsigned char>(name[0]);
  if (IsAsciiDigit(first) || first == '_' || first == '.') return kNameBadFirst;
  if (name.size() <= 4 && IsReservedWord(name)) return kNameReserved;
  if (first == '#') return kNameScratch;
  if (first == '$') return kNameSystem;
  return kNameValid;
}

bool IsValidFileName(std::string_view name) {
  // An empty name cannot identify a variable; it is repaired like any other
  // invalid name.
  if (name.empty() || name.size() > kMaxNameBytes) return false;
  if (!HasOnlyAllowedChars(name)) return false;
  if (text::CharLength(name.data(), name.size()) == 1) {
    const char first = name[0];
    if (first == '#' || first == '$' || first == '_' || first == '.') {
      return false;
    }
  }
  return true;
}

std::string NameKey(std::string_view name) {
  name = TrimBlanks(name);
  if (name.size() > kMaxKeyBytes) {
    name = name.substr(
        0, text::WholeCharPrefix(name.data(), name.size(), kMaxKeyBytes));
  }
  return text::ToUpper(name);
}

}  // namespace vexa
