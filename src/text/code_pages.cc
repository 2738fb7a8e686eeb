#include "text/code_pages.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "text/current_converter.h"
#include "text/icu_converters.h"
#include "text/interface_encoding.h"

namespace vexa::text {
namespace {

struct CodePageName {
  long code_page;
  const char* name;
};

// Searched from the top; the first row of a number wins.
constexpr CodePageName kCodePageNameTable[] = {
    {932, "windows-31j"}, {936, "GBK"},     {949, "KS_C_5601-1987"},
    {950, "Big5"},        {1250, "cp1250"}, {1251, "cp1251"},
    {1252, "cp1252"},     {1253, "cp1253"}, {1254, "cp1254"},
    {1255, "cp1255"},     {1256, "cp1256"}, {1257, "cp1257"},
    {1258, "cp1258"},     {28591, "ISO-8859-1"}, {65001, "UTF-8"},
};

// A whole decimal number from 1 to 99999 after `prefix_length` bytes of
// `alias`, else 0.
long NumberAfter(const char* alias, size_t prefix_length) {
  const char* digits = alias + prefix_length;
  const size_t n = std::strlen(digits);
  if (n == 0 || n > 5) return 0;
  long value = 0;
  for (size_t i = 0; i < n; ++i) {
    if (digits[i] < '0' || digits[i] > '9') return 0;
    value = value * 10 + (digits[i] - '0');
  }
  return value;
}

// A name ICU can be asked about: no NUL inside (ICU would see only the
// part before it).
bool Askable(std::string_view name) {
  return name.find('\0') == std::string_view::npos;
}

// The first alias ICU lists for a name: its converter's own name.
std::string CanonicalName(const std::string& name) {
  if (!Askable(name) || !IcuKnowsName(name.c_str())) return {};
  UErrorCode err = U_ZERO_ERROR;
  const char* first = ucnv_getAlias(name.c_str(), 0, &err);
  return U_SUCCESS(err) && first != nullptr ? first : "";
}

}  // namespace

const char* CodePageTableName(long code_page) {
  for (const CodePageName& row : kCodePageNameTable) {
    if (row.code_page == code_page) return row.name;
  }
  return nullptr;
}

std::string NameOfCodePage(long code_page) {
  // ICU ignores "-" when it matches names: "windows--1252" would pass.
  if (code_page < 1) return {};
  std::string chosen;
  const char* table = CodePageTableName(code_page);
  if (table != nullptr && IcuKnowsName(table)) {
    chosen = table;
  } else {
    for (const char* form : {"windows-%03ld", "cp%03ld"}) {
      char name[32];
      std::snprintf(name, sizeof name, form, code_page);
      if (IcuKnowsName(name)) {
        chosen = name;
        break;
      }
    }
  }
  if (chosen.empty()) return chosen;
  // ICU's IANA name of an alias that several converters share may name
  // another one of them (the IANA name of "KS_C_5601-1987" is "EUC-KR"):
  // it is taken only when it opens the same converter.
  UErrorCode err = U_ZERO_ERROR;
  const char* iana = ucnv_getStandardName(chosen.c_str(), "IANA", &err);
  if (U_FAILURE(err) || iana == nullptr || !CompatibleEncodings(chosen, iana)) {
    return chosen;
  }
  return iana;
}

int CodePageOfName(std::string_view name) {
  if (!Askable(name)) return 0;
  const std::string text(name);
  if (!IcuKnowsName(text.c_str())) {
    return strcasecmp(text.c_str(), "windows-28591") == 0 ? 28591 : 0;
  }
  long cp = 0;
  long windows = 0;
  UErrorCode err = U_ZERO_ERROR;
  const uint16_t count = ucnv_countAliases(text.c_str(), &err);
  for (uint16_t i = 0; U_SUCCESS(err) && i < count; ++i) {
    UErrorCode alias_err = U_ZERO_ERROR;
    const char* alias = ucnv_getAlias(text.c_str(), i, &alias_err);
    if (U_FAILURE(alias_err) || alias == nullptr) continue;
    const size_t length = std::strlen(alias);
    if (length >= 5 && strncasecmp(alias, "cp", 2) == 0 &&
        NumberAfter(alias, 2) > 0) {
      if (cp == 0) cp = NumberAfter(alias, 2);
    } else if (length >= 11 && strncasecmp(alias, "windows", 7) == 0 &&
               (alias[7] == '-' || alias[7] == '_') &&
               NumberAfter(alias, 8) > 0) {
      if (windows == 0) windows = NumberAfter(alias, 8);
    } else if (std::strcmp(alias, "ISO-8859-1") == 0) {
      windows = 28591;
    }
  }
  return static_cast<int>(windows != 0 ? windows : cp);
}

bool CompatibleEncodings(std::string_view a, std::string_view b) {
  const std::string first = CanonicalName(std::string(a));
  return !first.empty() && first == CanonicalName(std::string(b));
}

std::string CurrentEncodingName() {
  return PreferredConverterName(CurrentConverter());
}

std::string InterfaceEncodingName() {
  return GetInterfaceMode() == InterfaceMode::kUtf8 ? "UTF-8"
                                                    : CurrentEncodingName();
}

bool SetCurrentCodePage(std::string_view name) {
  if (!Askable(name)) return false;
  UConverterPtr conv = OpenConverterByName(std::string(name).c_str());
  if (!conv) return false;
  const UConverter* current = CurrentConverter();
  UErrorCode err = U_ZERO_ERROR;
  const char* new_name = ucnv_getName(conv.get(), &err);
  const char* old_name = current ? ucnv_getName(current, &err) : nullptr;
  if (old_name == nullptr || std::strcmp(new_name, old_name) != 0) {
    ReplaceCurrentConverter(std::move(conv));
  }
  return true;
}

}  // namespace vexa::text
