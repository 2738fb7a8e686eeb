// Opening ICU converters the library's way, inside src/text only. Every
// converter the library opens substitutes what it cannot convert: towards
// Unicode an unassigned or illegal byte sequence becomes "?" (U+003F), from
// Unicode a character the code page lacks becomes the byte "?" (0x3F), and
// the callback leaves one of two private warning values in the ICU error
// code (kUnassignedWarning, kIllegalWarning). Because ICU may overwrite a
// warning before a conversion returns, each substitution is also counted
// per thread; a conversion reads the count to know whether it was clean.
#pragma once

#include <string>

#include "text/icu_ptr.h"

namespace vexa::text {

constexpr int kUnassignedWarning = -100;
constexpr int kIllegalWarning = -101;

// Opens a converter by name: no name opens one for the current converter's
// code page (ICU's default while there is none); a name that is wholly a
// decimal number from 1 to 99999 is taken as a code page number; otherwise
// ICU opens the name, with "windows-28591" (any letter case) standing for
// "ISO-8859-1" where ICU does not know it. Null when nothing opens.
UConverterPtr OpenConverterByName(const char* name);

// Gives a converter the substituting callbacks described above.
void SetLibrarySubstitution(UConverter* conv);

// Substitutions made on this thread since the last call; resets the count.
int TakeSubstitutions();

// The preferred encoding name of a converter: ICU's IANA name where there
// is one ("Shift_JIS" given as "windows-31j", "iso-ir-149" as
// "KS_C_5601-1987"), else the best of its aliases. Empty for null.
std::string PreferredConverterName(const UConverter* conv);

// The name the library's table gives a code page, or null (no ICU check).
const char* CodePageTableName(long code_page);

// True when ICU lists at least one alias for the name.
bool IcuKnowsName(const char* name);

// True when the converter decodes bytes 1 to 127 to the same code points,
// so that pure ASCII text may skip it. Stateful encodings (escape or shift
// sequences made of ASCII bytes) fail this test. Resets the converter.
bool DecodesAsciiUnchanged(UConverter* conv);

}  // namespace vexa::text
