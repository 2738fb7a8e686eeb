#include "format_text.h"

#include <charconv>

namespace vexa::tool {
namespace {

struct FormatName {
  int type;
  const char* name;
};

constexpr FormatName kFormatNames[] = {
    {1, "A"},       {2, "AHEX"},    {3, "COMMA"},    {4, "DOLLAR"},
    {5, "F"},       {6, "IB"},      {7, "PIBHEX"},   {8, "P"},
    {9, "PIB"},     {10, "PK"},     {11, "RB"},      {12, "RBHEX"},
    {15, "Z"},      {16, "N"},      {17, "E"},       {20, "DATE"},
    {21, "TIME"},   {22, "DATETIME"}, {23, "ADATE"}, {24, "JDATE"},
    {25, "DTIME"},  {26, "WKDAY"},  {27, "MONTH"},   {28, "MOYR"},
    {29, "QYR"},    {30, "WKYR"},   {31, "PCT"},     {32, "DOT"},
    {33, "CCA"},    {34, "CCB"},    {35, "CCC"},     {36, "CCD"},
    {37, "CCE"},    {38, "EDATE"},  {39, "SDATE"},   {85, "MTIME"},
    {86, "YMDHMS"},
};

const char* TypeName(int type) {
  for (const FormatName& entry : kFormatNames) {
    if (entry.type == type) return entry.name;
  }
  return nullptr;
}

// Types whose text always shows the decimals, even when there are none.
bool ShowsDecimals(int type) {
  return (type >= 3 && type <= 5) || (type >= 15 && type <= 17) ||
         (type >= 31 && type <= 37);
}

// Reads a decimal number of at most `max` from the front of `text`.
bool TakeNumber(std::string_view& text, int max, int* out) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  auto res = std::from_chars(text.data(), text.data() + text.size(), *out);
  if (res.ec != std::errc() || *out > max) return false;
  text.remove_prefix(static_cast<size_t>(res.ptr - text.data()));
  return true;
}

}  // namespace

std::string FormatText(const FormatSpec& f) {
  const char* name = TypeName(f.type);
  std::string text = name != nullptr ? name : "T" + std::to_string(f.type) + "_";
  text += std::to_string(f.width);
  if (name == nullptr || ShowsDecimals(f.type) || f.decimals > 0) {
    text += "." + std::to_string(f.decimals);
  }
  return text;
}

bool ParseFormat(std::string_view text, FormatSpec* out) {
  size_t letters = 0;
  while (letters < text.size() && (text[letters] < '0' || text[letters] > '9')) {
    ++letters;
  }
  std::string name(text.substr(0, letters));
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  std::string_view rest = text.substr(letters);
  FormatSpec f;
  if (name == "T") {
    if (!TakeNumber(rest, 255, &f.type) || rest.empty() || rest[0] != '_') {
      return false;
    }
    rest.remove_prefix(1);
  } else {
    for (const FormatName& entry : kFormatNames) {
      if (name == entry.name) f.type = entry.type;
    }
    if (f.type < 0) return false;
  }
  if (!TakeNumber(rest, 65535, &f.width)) return false;
  if (!rest.empty()) {
    if (rest[0] != '.') return false;
    rest.remove_prefix(1);
    if (!TakeNumber(rest, 255, &f.decimals) || !rest.empty()) return false;
  }
  *out = f;
  return true;
}

}  // namespace vexa::tool
