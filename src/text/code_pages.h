// Encoding names and code page numbers, both ways, and the names that decide
// whether a file's text needs converting. ICU's aliases decide what a name
// stands for, so "cp1252", "CP1252" and "windows-1252" are one encoding.
//
// On Linux the "ANSI code page" is the code page of the runtime library
// locale's codeset (65001 for a UTF-8 locale, 1252 for one built on CP1252):
// it is what ICU's default converter, the first current converter, is
// opened for.
#pragma once

#include <string>
#include <string_view>

namespace vexa::text {

// The encoding name of a code page number: the library's table (932
// "windows-31j", 1252 "cp1252", 28591 "ISO-8859-1", 65001 "UTF-8", ...),
// else "windows-NNN", else "cpNNN" (at least three digits), whichever ICU
// knows first, given as ICU's IANA name where it has one for the same
// converter. Empty when ICU knows none of them.
std::string NameOfCodePage(long code_page);

// The code page number of an encoding name from ICU's aliases of it: a
// "windows-N" alias wins over a "cpN" alias, "ISO-8859-1" is 28591. 0 when
// the name has no number (or ICU does not know it; "windows-28591" is 28591
// even then).
int CodePageOfName(std::string_view name);

// True when ICU knows both names and they name the same converter.
bool CompatibleEncodings(std::string_view a, std::string_view b);

// The preferred name of the current converter: the encoding of code-page
// mode text.
std::string CurrentEncodingName();

// The encoding of text crossing the interface: "UTF-8" in UTF-8 mode, else
// the current converter's name.
std::string InterfaceEncodingName();

// Makes the converter opened for `name` (an encoding name or a code page
// number as text) the current one when it is another converter. False, and
// no change, when nothing opens for the name.
bool SetCurrentCodePage(std::string_view name);

}  // namespace vexa::text
