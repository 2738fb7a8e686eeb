// Opening converters by name, their substituting callbacks, and the
// preferred name of a converter.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <string_view>

#include <unicode/ucnv_cb.h>

#include "text/code_pages.h"
#include "text/current_converter.h"
#include "text/icu_converters.h"

namespace vexa::text {
namespace {

thread_local int t_substitutions = 0;

// Towards Unicode: one "?" for each unassigned, illegal or irregular byte
// sequence. Resets, clones and closes pass through untouched.
void ToUnicodeSubstitute(const void*, UConverterToUnicodeArgs* args,
                         const char*, int32_t, UConverterCallbackReason reason,
                         UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  ++t_substitutions;
  static const UChar kQuestionMark = 0x3F;
  *err = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &kQuestionMark, 1, 0, err);
  if (U_SUCCESS(*err)) {
    *err = static_cast<UErrorCode>(reason == UCNV_UNASSIGNED ? kUnassignedWarning
                                                             : kIllegalWarning);
  }
}

// From Unicode: the converter's substitution bytes, set to "?" at open.
void FromUnicodeSubstitute(const void*, UConverterFromUnicodeArgs* args,
                           const UChar*, int32_t, UChar32,
                           UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  ++t_substitutions;
  *err = U_ZERO_ERROR;
  ucnv_cbFromUWriteSub(args, 0, err);
  if (U_SUCCESS(*err)) {
    *err = static_cast<UErrorCode>(reason == UCNV_UNASSIGNED ? kUnassignedWarning
                                                             : kIllegalWarning);
  }
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

// A whole decimal number from 1 to 99999, else 0.
long CodePageNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return 0;
  long n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

bool IcuKnowsName(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  UErrorCode err = U_ZERO_ERROR;
  const uint16_t count = ucnv_countAliases(name, &err);
  return U_SUCCESS(err) && count > 0;
}

void SetLibrarySubstitution(UConverter* conv) {
  UErrorCode err = U_ZERO_ERROR;
  ucnv_setSubstChars(conv, "?", 1, &err);  // some converters keep their own
  err = U_ZERO_ERROR;
  ucnv_setToUCallBack(conv, ToUnicodeSubstitute, nullptr, nullptr, nullptr,
                      &err);
  err = U_ZERO_ERROR;
  ucnv_setFromUCallBack(conv, FromUnicodeSubstitute, nullptr, nullptr,
                        nullptr, &err);
}

int TakeSubstitutions() {
  const int n = t_substitutions;
  t_substitutions = 0;
  return n;
}

bool DecodesAsciiUnchanged(UConverter* conv) {
  char bytes[127];
  for (int i = 0; i < 127; ++i) bytes[i] = static_cast<char>(i + 1);
  UChar units[256];
  UErrorCode err = U_ZERO_ERROR;
  const int32_t n = ucnv_toUChars(conv, units, 256, bytes, 127, &err);
  ucnv_reset(conv);
  if (U_FAILURE(err) || n != 127) return false;
  for (int i = 0; i < 127; ++i) {
    if (units[i] != static_cast<UChar>(i + 1)) return false;
  }
  return true;
}

UConverterPtr OpenConverterByName(const char* name) {
  UErrorCode err = U_ZERO_ERROR;
  UConverter* conv = nullptr;
  if (name == nullptr || name[0] == '\0') {
    const UConverter* current = CurrentConverter();
    if (current != nullptr) {
      UErrorCode name_err = U_ZERO_ERROR;
      conv = ucnv_open(ucnv_getName(current, &name_err), &err);
    } else {
      conv = ucnv_open(nullptr, &err);
    }
  } else if (const long number = CodePageNumber(name); number > 0) {
    const std::string encoding = NameOfCodePage(number);
    if (encoding.empty()) return nullptr;
    conv = ucnv_open(encoding.c_str(), &err);
  } else {
    conv = ucnv_open(name, &err);
    if (U_FAILURE(err) && strcasecmp(name, "windows-28591") == 0) {
      ucnv_close(conv);
      err = U_ZERO_ERROR;
      conv = ucnv_open("ISO-8859-1", &err);
    }
  }
  if (U_FAILURE(err) || conv == nullptr) {
    ucnv_close(conv);
    return nullptr;
  }
  SetLibrarySubstitution(conv);
  return UConverterPtr(conv);
}

namespace {

// ICU names its own conversion tables by a vendor prefix, a hyphen and the
// table's number ("xyz-5348", "xyz-5348_P100-1997"); such names mean
// nothing to a caller.
bool LooksLikeTableName(std::string_view alias) {
  const size_t dash = alias.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 >= alias.size()) return false;
  for (size_t i = 0; i < dash; ++i) {
    if (!std::isalpha(static_cast<unsigned char>(alias[i]))) return false;
  }
  return std::isdigit(static_cast<unsigned char>(alias[dash + 1])) != 0;
}

}  // namespace

std::string PreferredConverterName(const UConverter* conv) {
  if (conv == nullptr) return {};
  UErrorCode err = U_ZERO_ERROR;
  const char* icu_name = ucnv_getName(conv, &err);
  if (U_FAILURE(err) || icu_name == nullptr) return {};
  err = U_ZERO_ERROR;
  const char* iana = ucnv_getStandardName(icu_name, "IANA", &err);
  if (U_SUCCESS(err) && iana != nullptr) {
    if (std::strcmp(iana, "Shift_JIS") == 0) return "windows-31j";
    if (std::strcmp(iana, "iso-ir-149") == 0) return "KS_C_5601-1987";
    return iana;
  }
  // No IANA name: the first alias of each kind, taken in the order UTF,
  // ISO, windows (named as the library's table names it), cp (the shortest
  // one), any other that is not one of ICU's own table names.
  std::string utf, iso, windows, cp, other;
  err = U_ZERO_ERROR;
  const uint16_t count = ucnv_countAliases(icu_name, &err);
  for (uint16_t i = 0; U_SUCCESS(err) && i < count; ++i) {
    UErrorCode alias_err = U_ZERO_ERROR;
    const char* a = ucnv_getAlias(icu_name, i, &alias_err);
    if (U_FAILURE(alias_err) || a == nullptr) continue;
    const std::string_view alias(a);
    if (StartsWithNoCase(alias, "UTF")) {
      if (utf.empty()) utf = alias;
    } else if (StartsWithNoCase(alias, "ISO")) {
      if (iso.empty()) iso = alias;
    } else if (alias.size() >= 11 && StartsWithNoCase(alias, "windows") &&
               (alias[7] == '-' || alias[7] == '_') &&
               CodePageNumber(alias.substr(8)) > 0) {
      if (windows.empty()) {
        const char* table = CodePageTableName(CodePageNumber(alias.substr(8)));
        windows = table != nullptr ? table : alias;
      }
    } else if (alias.size() >= 5 && StartsWithNoCase(alias, "cp") &&
               CodePageNumber(alias.substr(2)) > 0) {
      if (cp.empty() || alias.size() < cp.size()) cp = alias;
    } else if (!LooksLikeTableName(alias)) {
      if (other.empty()) other = alias;
    }
  }
  if (!utf.empty()) return utf;
  if (!iso.empty()) {
    return strcasecmp(iso.c_str(), "iso-ir-149") == 0 ? "KS_C_5601-1987" : iso;
  }
  if (!windows.empty()) return windows;
  if (!cp.empty()) return cp;
  if (!other.empty()) return other;
  return icu_name;
}

}  // namespace vexa::text
