// Small text helpers over UTF-8, the encoding of every text the tool
// handles: blank trimming, cutting on a whole character, and the key under
// which names compare without regard to case.
#pragma once

#include <string>
#include <string_view>

namespace vexa::tool {

// The text without leading and trailing blanks (spaces).
std::string_view TrimBlanks(std::string_view text);
// The text without trailing blanks.
std::string_view TrimTrailingBlanks(std::string_view text);

// The longest prefix of at most `max` bytes that does not split a UTF-8
// character.
std::string_view WholeUtf8Prefix(std::string_view text, size_t max);

// The columns a terminal gives the text: two for a wide (East Asian)
// character, none for a combining one, one for each other character and
// each invalid byte.
size_t DisplayWidth(std::string_view text);
// The text followed by blanks up to `width` columns (as it is when wider).
std::string PadRight(std::string_view text, size_t width);

// The key of a variable name: blanks trimmed, letters upper-cased by the
// simple Unicode mapping where that keeps a character's length in bytes
// (as the library compares names). Invalid bytes stay as they are.
std::string NameKey(std::string_view name);

}  // namespace vexa::tool
