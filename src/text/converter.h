// Converting text between a code page and UTF-8, and comparing texts
// character by character. The ICU types stay inside src/text: callers see a
// Converter that owns its ICU converter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

struct UConverter;  // ICU's converter, defined only where src/text uses it

namespace vexa::text {

enum class Direction {
  kToUtf8,    // from the converter's code page to UTF-8
  kFromUtf8,  // from UTF-8 to the converter's code page
};

// The status a conversion reports.
enum ConversionStatus {
  kConvertClean = 0,      // complete
  kConvertCut = 1,        // the result did not fit and was cut
  kConvertNoMemory = 2,   // out of memory
  kConvertSubstituted = 3,  // a character was replaced by "?", or ICU failed
};

// The UTF-8 form of every byte of a single-byte code page: the first
// `lengths[b]` bytes of `forms[b]`, and whether the byte was substituted.
struct SingleByteTable {
  uint32_t forms[256];
  uint8_t lengths[256];
  uint8_t substituted[256];
  bool ascii;  // bytes 1-127 stand for themselves
};

// ConvertField through a single-byte table: the value (its trailing blanks
// do not count) into `field_size` bytes, cut before a character that does
// not fit, padded with blanks. Inline because it runs for every string of
// every case.
inline int ConvertFieldByTable(const SingleByteTable& t, const char* source,
                               size_t length, char* field, size_t field_size) {
  while (length > 0 && source[length - 1] == ' ') --length;
  const auto* in = reinterpret_cast<const unsigned char*>(source);
  size_t i = 0;
  if (t.ascii) {  // an ASCII start is copied as it is
    while (i < length && in[i] < 0x80) ++i;
    if (i > field_size) i = field_size;
    std::memcpy(field, source, i);
  }
  char* out = field + i;
  char* const end = field + field_size;
  unsigned substituted = 0;
  // While four bytes are left, each byte's form is stored four bytes at a
  // time: what follows, or the blanks, cover the excess.
  for (; i < length && end - out >= 4; ++i) {
    std::memcpy(out, &t.forms[in[i]], 4);
    out += t.lengths[in[i]];
    substituted |= t.substituted[in[i]];
  }
  for (; i < length; ++i) {
    const size_t n = t.lengths[in[i]];
    if (n > static_cast<size_t>(end - out)) {
      std::memset(out, ' ', static_cast<size_t>(end - out));
      return kConvertCut;
    }
    std::memcpy(out, &t.forms[in[i]], n);
    out += n;
    substituted |= t.substituted[in[i]];
  }
  std::memset(out, ' ', static_cast<size_t>(end - out));
  return substituted != 0 ? kConvertSubstituted : kConvertClean;
}

// One code page's converter with the library's substitution behaviour: a
// character that does not convert becomes "?". Owns its ICU converter; use
// one object per thread (it keeps conversion state between calls).
class Converter {
 public:
  Converter();  // none: IsOpen() is false
  ~Converter();
  Converter(Converter&& other) noexcept;
  Converter& operator=(Converter&& other) noexcept;
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // The converter for an encoding name or a code page number given as text
  // (the library's open-by-name rules); not open when nothing opens.
  static Converter Open(std::string_view name);
  // A private copy of the current converter.
  static Converter Current();

  bool IsOpen() const { return conv_ != nullptr; }
  // The encoding's preferred name.
  std::string Name() const;
  // True when every character is one byte.
  bool SingleByte() const;

  // The conversion primitive. Converts `length` bytes of `source` (-1: up
  // to its NUL) into `dest`, which holds `capacity` bytes. A result that
  // does not fit is cut without splitting a character, and the bytes from
  // the cut up to the capacity become blanks. After a result from an
  // explicit length that is shorter than the capacity, one blank follows
  // it; a NUL-terminated source reserves one byte of the capacity for the
  // NUL written after the result. Capacity 0 only measures. Returns the
  // length kept (the full length when measuring); `status` receives a
  // ConversionStatus.
  size_t Convert(Direction dir, char* dest, size_t capacity,
                 const char* source, std::ptrdiff_t length,
                 int* status = nullptr);

  // Converts a fixed-width value (its trailing blanks do not count) into a
  // field of `field_size` bytes, cut on a character boundary and padded
  // with blanks. Returns the status. Allocates nothing, so it can run for
  // every value of every case.
  int ConvertField(Direction dir, const char* source, size_t length,
                   char* field, size_t field_size);

  // The table of a single-byte code page for `dir` (towards UTF-8 only),
  // or null; valid while the converter lives. Per-case loops use it with
  // ConvertFieldByTable, which is inline.
  const SingleByteTable* TableFor(Direction dir) const;

  // A whole text, however long its conversion is.
  std::string ConvertText(Direction dir, std::string_view text,
                          int* status = nullptr);

 private:
  // Shortcuts decided once when the converter is opened.
  struct Shortcuts;
  explicit Converter(::UConverter* conv);
  size_t WholeCharacters(Direction dir, const char* text, size_t length);

  ::UConverter* conv_ = nullptr;
  std::unique_ptr<Shortcuts> shortcuts_;
};

}  // namespace vexa::text
