#include "text_util.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <wchar.h>
#include <locale.h>

namespace vexa::tool {

std::string_view TrimTrailingBlanks(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  return text.substr(0, n);
}

std::string_view TrimBlanks(std::string_view text) {
  text = TrimTrailingBlanks(text);
  size_t start = 0;
  while (start < text.size() && text[start] == ' ') ++start;
  return text.substr(start);
}

std::string_view WholeUtf8Prefix(std::string_view text, size_t max) {
  if (text.size() <= max) return text;
  size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  return text.substr(0, end);
}

namespace {

// The C library's UTF-8 locale for the character tables, whatever the
// process's locale is; null when the system lacks it.
locale_t Utf8Locale() {
  static const locale_t utf8 =
      newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return utf8;
}

}  // namespace

size_t DisplayWidth(std::string_view text) {
  const locale_t utf8 = Utf8Locale();
  if (utf8 == nullptr) return text.size();
  const locale_t saved = uselocale(utf8);
  size_t width = 0;
  std::mbstate_t state{};
  for (size_t i = 0; i < text.size();) {
    wchar_t wc = 0;
    const size_t n = std::mbrtowc(&wc, text.data() + i, text.size() - i, &state);
    if (n == 0 || n > text.size() - i) {  // invalid or cut short: one column a byte
      state = {};
      ++width;
      ++i;
      continue;
    }
    const int w = wcwidth(wc);
    width += w < 0 ? 1 : static_cast<size_t>(w);
    i += n;
  }
  uselocale(saved);
  return width;
}

std::string PadRight(std::string_view text, size_t width) {
  std::string out(text);
  const size_t have = DisplayWidth(text);
  if (have < width) out.append(width - have, ' ');
  return out;
}

std::string NameKey(std::string_view name) {
  std::string key(TrimBlanks(name));
  const locale_t utf8 = Utf8Locale();
  if (utf8 == nullptr) {
    for (char& c : key) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
  }
  const locale_t saved = uselocale(utf8);
  for (size_t i = 0; i < key.size();) {
    if (static_cast<unsigned char>(key[i]) < 0x80) {  // a character of its own
      if (key[i] >= 'a' && key[i] <= 'z') key[i] = static_cast<char>(key[i] - 'a' + 'A');
      ++i;
      continue;
    }
    std::mbstate_t in{}, out{};
    wchar_t wc = 0;
    const size_t n = std::mbrtowc(&wc, key.data() + i, key.size() - i, &in);
    if (n == 0 || n > key.size() - i) {  // invalid or cut short: keep the byte
      ++i;
      continue;
    }
    char upper[MB_LEN_MAX];
    if (std::wcrtomb(upper, static_cast<wchar_t>(std::towupper(wc)), &out) == n) {
      std::memcpy(key.data() + i, upper, n);
    }
    i += n;
  }
  uselocale(saved);
  return key;
}

}  // namespace vexa::tool
