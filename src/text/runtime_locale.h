// The runtime library's locale, as the locale call sets it. Only the
// character-type part of a locale says how text is encoded, so only setting
// LC_ALL or LC_CTYPE moves the current code page.
#pragma once

#include <string>

namespace vexa::text {

// Calls the runtime library's setlocale with the category and the text
// (null queries). On success returns its result and, for LC_ALL and
// LC_CTYPE, makes the codeset of the character-type locale (the text after
// the last "." of its name, without an "@" modifier) the current code page
// when the name has one and ICU knows it. On failure the category is put
// back as it was and the result is empty.
std::string SetRuntimeLocale(int category, const char* locale);

// The runtime library's current setting for the category; empty for a
// category it does not know.
std::string RuntimeLocale(int category);

}  // namespace vexa::text
