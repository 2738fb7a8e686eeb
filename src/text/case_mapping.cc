// Case mapping in place. Names are upper-cased for every variable of every
// file that is opened, so the common cases are kept cheap: pure ASCII text is
// mapped byte by byte, UTF-8 text is decoded inline, and only other code pages
// go through ICU converters (text/thread_converters.h).
#include <cstring>

#include <unicode/uchar.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include "text/interface_encoding.h"
#include "text/thread_converters.h"

namespace vexa::text {
namespace {

constexpr int kStatusClean = 0;
constexpr int kStatusBadChar = 3;

enum class Direction { kUpper, kLower };

// Characters that are never mapped: their simple mappings fold distinct
// letters together (dotless i, long s, the Greek prosgegrammeni; the dotted
// capital I and the ohm, kelvin and angstrom signs).
bool IsExempt(UChar32 c, Direction dir) {
  if (dir == Direction::kUpper) {
    return c == 0x0131 || c == 0x017F || c == 0x1FBE;
  }
  return c == 0x0130 || c == 0x2126 || c == 0x212A || c == 0x212B;
}

UChar32 MapCodePoint(UChar32 c, Direction dir) {
  if (IsExempt(c, dir)) return c;
  return dir == Direction::kUpper ? u_toupper(c) : u_tolower(c);
}

bool IsAscii(const char* text, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}

void MapAscii(char* text, size_t len, Direction dir) {
  for (size_t i = 0; i < len; ++i) {
    const char c = text[i];
    if (dir == Direction::kUpper) {
      if (c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 'a' + 'A');
    } else {
      if (c >= 'A' && c <= 'Z') text[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
}

int MapUtf8(char* text, size_t len, Direction dir) {
  auto* s = reinterpret_cast<uint8_t*>(text);
  size_t i = 0;
  while (i < len) {
    if (s[i] < 0x80) {
      MapAscii(text + i, 1, dir);
      ++i;
      continue;
    }
    // U8_NEXT works on int32_t offsets; a window of four bytes is enough for
    // any character.
    const size_t window = len - i < 4 ? len - i : 4;
    int32_t n = 0;
    UChar32 c;
    U8_NEXT(s + i, n, static_cast<int32_t>(window), c);
    if (c < 0) return kStatusBadChar;
    const UChar32 mapped = MapCodePoint(c, dir);
    if (mapped != c && U8_LENGTH(mapped) == n) {
      int32_t out = 0;
      U8_APPEND_UNSAFE(s + i, out, mapped);
    }
    i += static_cast<size_t>(n);
  }
  return kStatusClean;
}

int MapCodePage(char* text, size_t len, Direction dir, ThreadConverters& conv) {
  UConverter* decode = conv.decode.get();
  ucnv_reset(decode);
  const char* source = text;
  const char* const limit = text + len;
  while (source < limit) {
    char* const start = text + (source - text);
    UErrorCode err = U_ZERO_ERROR;
    const UChar32 c = ucnv_getNextUChar(decode, &source, limit, &err);
    if (U_FAILURE(err) || source <= start) return kStatusBadChar;
    const UChar32 mapped = MapCodePoint(c, dir);
    if (mapped == c) continue;
    UChar units[2];
    int32_t n_units = 0;
    U16_APPEND_UNSAFE(units, n_units, mapped);
    char encoded[32];
    err = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(conv.encode.get(), encoded,
                                      sizeof(encoded), units, n_units, &err);
    // Keep the character when the mapped one cannot be encoded or would
    // change the text's length.
    if (U_FAILURE(err) || n != source - start) continue;
    std::memcpy(start, encoded, static_cast<size_t>(n));
  }
  return kStatusClean;
}

int MapInPlace(char* text, size_t len, Direction dir) {
  if (text == nullptr || len == 0) return kStatusClean;
  if (GetInterfaceMode() == InterfaceMode::kCodePage) {
    ThreadConverters* conv = ConvertersForThisThread();
    if (conv == nullptr) return kStatusBadChar;
    if (!conv->utf8) {
      if (conv->ascii_compatible && IsAscii(text, len)) {
        MapAscii(text, len, dir);
        return kStatusClean;
      }
      return MapCodePage(text, len, dir, *conv);
    }
    // A UTF-8 code page takes the UTF-8 path below.
  }
  if (IsAscii(text, len)) {
    MapAscii(text, len, dir);
    return kStatusClean;
  }
  return MapUtf8(text, len, dir);
}

}  // namespace

int UpperCaseInPlace(char* text, size_t len) {
  return MapInPlace(text, len, Direction::kUpper);
}

int LowerCaseInPlace(char* text, size_t len) {
  return MapInPlace(text, len, Direction::kLower);
}

}  // namespace vexa::text
