#include "text/interface_encoding.h"

#include <atomic>
#include <cstdint>
#include <vector>

#include <unicode/utf8.h>

#include "text/current_converter.h"
#include "text/library_load.h"
#include "text/thread_converters.h"

namespace vexa::text {
namespace {

// The interface mode has no lock of its own; the atomic only keeps a reader
// on a worker thread from seeing a torn value.
std::atomic<InterfaceMode> g_mode{InterfaceMode::kCodePage};

// Code-page mode depends on the locale that the load step sets; referring to
// it here also keeps that step linked into every program that uses text.
[[maybe_unused]] const bool kLocaleReady = EnsureLibraryLocale();

bool IsTrail(unsigned char b) { return b >= 0x80 && b <= 0xBF; }

int Utf8CharLength(const unsigned char* s, size_t limit) {
  const unsigned char b = s[0];
  if (b < 0x80) return 1;
  // The common two- and three-byte forms are decided here; everything else
  // (E0, ED, EE, EF leads, four-byte forms, invalid bytes) is left to ICU's
  // safe decoder, which rejects overlong forms, surrogates and values above
  // U+10FFFF.
  if (b >= 0xC2 && b <= 0xDF && limit >= 2 && IsTrail(s[1])) return 2;
  if (b >= 0xE1 && b <= 0xEC && limit >= 3 && IsTrail(s[1]) && IsTrail(s[2])) {
    return 3;
  }
  const int32_t length = limit > 4 ? 4 : static_cast<int32_t>(limit);
  int32_t i = 0;
  UChar32 c;
  U8_NEXT(s, i, length, c);
  return c < 0 ? -1 : i;
}

int CodePageCharLength(const char* text, size_t limit) {
  ThreadConverters* conv = ConvertersForThisThread();
  if (conv == nullptr) return -1;
  if (conv->utf8) {
    return Utf8CharLength(reinterpret_cast<const unsigned char*>(text), limit);
  }
  return DecodedCharLength(*conv, text, limit);
}

}  // namespace

InterfaceMode GetInterfaceMode() {
  return g_mode.load(std::memory_order_relaxed);
}

void SetInterfaceMode(InterfaceMode mode) {
  g_mode.store(mode, std::memory_order_relaxed);
}

int CharLength(const char* text, size_t limit) {
  if (limit == 0 || text == nullptr || text[0] == '\0') return 0;
  // Every locale the runtime library offers keeps the ASCII bytes as
  // one-byte characters; names are walked character by character, so this
  // is the common case.
  if (static_cast<unsigned char>(text[0]) < 0x80) return 1;
  if (GetInterfaceMode() == InterfaceMode::kUtf8) {
    return Utf8CharLength(reinterpret_cast<const unsigned char*>(text), limit);
  }
  return CodePageCharLength(text, limit);
}

bool CharactersMayBeMultibyte() {
  if (GetInterfaceMode() == InterfaceMode::kUtf8) return true;
  const ThreadConverters* conv = ConvertersForThisThread();
  return conv == nullptr || conv->max_char_bytes > 1;
}

size_t WholeCharPrefix(const char* text, size_t len, size_t max_bytes,
                       InvalidBytes invalid) {
  const size_t limit = len < max_bytes ? len : max_bytes;
  size_t pos = 0;
  while (pos < limit) {
    // The character may run past `limit`; look as far as the text goes so
    // that such a character is dropped as a whole rather than seen as
    // invalid.
    int n = CharLength(text + pos, len - pos);
    if (n == 0) n = 1;  // an embedded NUL is a one-byte character here
    if (n < 0 && invalid == InvalidBytes::kOneCharEach) n = 1;
    if (n < 0 || pos + static_cast<size_t>(n) > limit) break;
    pos += static_cast<size_t>(n);
  }
  return pos;
}

std::string ToUpper(std::string_view text) {
  std::string result(text);
  UpperCaseInPlace(result.data(), result.size());
  return result;
}

std::string ToLower(std::string_view text) {
  std::string result(text);
  LowerCaseInPlace(result.data(), result.size());
  return result;
}

std::string FileNameFromInterface(const char* name, bool utf8) {
  if (name == nullptr) return std::string();
  const std::string_view source(name);
  if (utf8) return std::string(source);
  bool ascii = true;
  for (unsigned char c : source) ascii = ascii && c < 0x80;
  if (ascii) return std::string(source);
  const UConverter* current = CurrentConverter();
  if (current == nullptr || IsUtf8Converter(current) ||
      source.size() > INT32_MAX / 4) {
    return std::string(source);
  }
  UConverterPtr conv = CloneConverter(current);
  if (!conv) return std::string(source);
  // A name that does not convert cleanly is passed on as it is: the
  // operating system then reports whether such a file exists.
  UErrorCode err = U_ZERO_ERROR;
  ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr,
                      nullptr, &err);
  // One code-page byte never needs more than three UTF-8 bytes.
  std::vector<char> out(source.size() * 4 + 1);
  const int32_t n = ucnv_toAlgorithmic(
      UCNV_UTF8, conv.get(), out.data(), static_cast<int32_t>(out.size()),
      source.data(), static_cast<int32_t>(source.size()), &err);
  if (U_FAILURE(err) || err == U_STRING_NOT_TERMINATED_WARNING) {
    return std::string(source);
  }
  return std::string(out.data(), static_cast<size_t>(n));
}

}  // namespace vexa::text
