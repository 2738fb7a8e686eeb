// The process-wide interface encoding and the text primitives that names and
// labels need: the length of one character and case mapping in place, in
// either interface mode. Only src/text includes ICU; the other headers of
// src/text (code_pages.h, converter.h, encoding_scope.h, runtime_locale.h)
// keep its types out of sight as this one does.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexa::text {

enum class InterfaceMode { kCodePage = 0, kUtf8 = 1 };

InterfaceMode GetInterfaceMode();
// Changes the mode. The API allows it only while no file is open.
void SetInterfaceMode(InterfaceMode mode);

// Length in bytes of the character at the start of `text`, looking at no more
// than `limit` bytes: 0 for an empty text (a limit of 0 or a NUL first byte),
// -1 for an invalid sequence or one that the limit cuts off. UTF-8 mode
// decodes UTF-8; code-page mode decodes the current code page. (The current
// converter follows the runtime library's locale, except while an open
// reads a file in that file's own code page: text in code-page mode is
// always in the current code page, so the converter, not the locale,
// decides.)
int CharLength(const char* text, size_t limit);

// False when every character of the interface encoding is one byte (code-page
// mode with a single-byte code page).
bool CharactersMayBeMultibyte();

// What WholeCharPrefix makes of a byte that starts no valid character.
enum class InvalidBytes { kEndPrefix, kOneCharEach };

// The longest prefix of text[0, len) that consists of whole characters and
// is at most max_bytes long. An invalid sequence ends the prefix, or counts
// as one-byte characters.
size_t WholeCharPrefix(const char* text, size_t len, size_t max_bytes,
                       InvalidBytes invalid = InvalidBytes::kEndPrefix);

// The length of `text` cut to at most max_bytes on a whole character, for
// a field of that size: a text that fits is kept whole, and bytes that start
// no character count as one each.
inline size_t CutOnCharacters(std::string_view text, size_t max_bytes) {
  return text.size() <= max_bytes
             ? text.size()
             : WholeCharPrefix(text.data(), text.size(), max_bytes, InvalidBytes::kOneCharEach);
}

// Simple case mapping in place, character by character in the interface
// encoding. A character whose mapping would change its byte length, or that
// cannot be encoded, keeps its bytes; decoding stops at an invalid sequence.
// Returns 0 when clean, 3 when a character failed to decode.
int UpperCaseInPlace(char* text, size_t len);
int LowerCaseInPlace(char* text, size_t len);

std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);

// A file name given through the interface, as the bytes for the operating
// system (UTF-8 on disk). `utf8` names the U8 variants of the open calls.
std::string FileNameFromInterface(const char* name, bool utf8);

}  // namespace vexa::text
