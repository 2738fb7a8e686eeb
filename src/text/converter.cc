#include "text/converter.h"

#include <climits>
#include <cstring>
#include <utility>

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include "text/current_converter.h"
#include "text/icu_converters.h"
#include "text/interface_encoding.h"
#include "text/thread_converters.h"

namespace vexa::text {

// A single-byte code page converts to UTF-8 through a table of the 256
// bytes, and text of ASCII bytes alone converts to itself in any code page
// that keeps ASCII: per value, no ICU call at all.
struct Converter::Shortcuts {
  bool ascii = false;        // bytes 1-127 are ASCII, both ways
  bool single_byte = false;  // every character is one byte
  bool utf8 = false;         // the code page is UTF-8
  bool table = false;        // `to_utf8` is filled
  SingleByteTable to_utf8{};

  // The UTF-8 form of each single byte, through the converter (substituted
  // bytes give "?"); `table` stays false when a byte does not convert to
  // one code point.
  void FillTable(UConverter* conv);
};

void Converter::Shortcuts::FillTable(UConverter* conv) {
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    UChar units[4];
    ucnv_reset(conv);
    TakeSubstitutions();
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(conv, units, 4, &byte, 1, &err);
    const auto at = static_cast<size_t>(b);
    to_utf8.substituted[at] = TakeSubstitutions() > 0 ? 1 : 0;
    if (U_FAILURE(err) || n < 1 || n > 2) return;
    UChar32 c = units[0];
    if (n == 2) c = U16_GET_SUPPLEMENTARY(units[0], units[1]);
    uint8_t bytes[4] = {0, 0, 0, 0};
    int32_t length = 0;
    UBool error = false;
    U8_APPEND(bytes, length, 4, c, error);
    if (error) return;
    std::memcpy(&to_utf8.forms[at], bytes, 4);
    to_utf8.lengths[at] = static_cast<uint8_t>(length);
  }
  ucnv_reset(conv);
  table = true;
}

namespace {

bool IsAscii(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}

}  // namespace

Converter::Converter() = default;

Converter::Converter(::UConverter* conv)
    : conv_(conv), shortcuts_(std::make_unique<Shortcuts>()) {
  Shortcuts& s = *shortcuts_;
  s.utf8 = IsUtf8Converter(conv);
  s.single_byte = ucnv_getMaxCharSize(conv) == 1;
  const UConverterType type = ucnv_getType(conv);
  const bool stateful = type == UCNV_ISO_2022 || type == UCNV_HZ ||
                        type == UCNV_SCSU || type == UCNV_BOCU1 ||
                        type == UCNV_UTF7 || type == UCNV_IMAP_MAILBOX ||
                        type == UCNV_ISCII || type == UCNV_EBCDIC_STATEFUL;
  if (s.single_byte && !stateful) s.FillTable(conv);
  if (s.utf8) s.ascii = true;
  if (!s.utf8 && !s.table && !stateful) {
    TakeSubstitutions();
    const bool unchanged = DecodesAsciiUnchanged(conv);
    s.ascii = TakeSubstitutions() == 0 && unchanged;
  }
  if (s.table) {
    s.ascii = true;
    for (int b = 1; b < 0x80 && s.ascii; ++b) {
      const auto at = static_cast<size_t>(b);
      unsigned char first;
      std::memcpy(&first, &s.to_utf8.forms[at], 1);
      s.ascii = s.to_utf8.lengths[at] == 1 && first == at;
    }
    s.to_utf8.ascii = s.ascii;
  }
}

Converter::~Converter() { ucnv_close(conv_); }

Converter::Converter(Converter&& other) noexcept
    : conv_(std::exchange(other.conv_, nullptr)),
      shortcuts_(std::move(other.shortcuts_)) {}

Converter& Converter::operator=(Converter&& other) noexcept {
  if (this != &other) {
    ucnv_close(conv_);
    conv_ = std::exchange(other.conv_, nullptr);
    shortcuts_ = std::move(other.shortcuts_);
  }
  return *this;
}

Converter Converter::Open(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return Converter();
  UConverterPtr conv = OpenConverterByName(std::string(name).c_str());
  return conv ? Converter(conv.release()) : Converter();
}

Converter Converter::Current() {
  UConverterPtr conv = CloneCurrentConverter();
  if (!conv) return Converter();
  SetLibrarySubstitution(conv.get());
  return Converter(conv.release());
}

std::string Converter::Name() const { return PreferredConverterName(conv_); }

const SingleByteTable* Converter::TableFor(Direction dir) const {
  return dir == Direction::kToUtf8 && shortcuts_ != nullptr && shortcuts_->table
             ? &shortcuts_->to_utf8
             : nullptr;
}

bool Converter::SingleByte() const {
  return shortcuts_ != nullptr && shortcuts_->single_byte;
}

size_t Converter::WholeCharacters(Direction dir, const char* text,
                                  size_t length) {
  if (dir == Direction::kToUtf8 || shortcuts_->utf8) {
    // Back up over a UTF-8 sequence that the end cuts.
    size_t lead = length;
    while (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) {
      --lead;
    }
    if (lead == 0) return 0;
    const auto b = static_cast<unsigned char>(text[lead - 1]);
    const size_t need = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    return length - (lead - 1) >= need ? length : lead - 1;
  }
  if (shortcuts_->single_byte) return length;
  // Walk the code page's characters. ICU wrote them, so they are valid:
  // only the last one can be incomplete, which decodes as a substitution.
  ucnv_reset(conv_);
  TakeSubstitutions();
  const char* p = text;
  const char* const end = text + length;
  size_t kept = 0;
  while (p < end) {
    UErrorCode err = U_ZERO_ERROR;
    ucnv_getNextUChar(conv_, &p, end, &err);
    if (U_FAILURE(err) || TakeSubstitutions() > 0) break;
    kept = static_cast<size_t>(p - text);
  }
  ucnv_reset(conv_);
  return kept;
}

size_t Converter::Convert(Direction dir, char* dest, size_t capacity,
                          const char* source, std::ptrdiff_t length,
                          int* status) {
  int result = kConvertClean;
  const bool terminated = length < 0;
  const size_t source_length =
      terminated ? std::strlen(source) : static_cast<size_t>(length);
  const size_t room = terminated && capacity > 0 ? capacity - 1 : capacity;
  size_t full = 0;
  if (conv_ == nullptr || source_length > INT32_MAX || room > INT32_MAX) {
    result = kConvertSubstituted;
  } else {
    ucnv_reset(conv_);
    TakeSubstitutions();
    UErrorCode err = U_ZERO_ERROR;
    char* target = room > 0 ? dest : nullptr;
    const int32_t n =
        dir == Direction::kToUtf8
            ? ucnv_toAlgorithmic(UCNV_UTF8, conv_, target,
                                 static_cast<int32_t>(room), source,
                                 static_cast<int32_t>(source_length), &err)
            : ucnv_fromAlgorithmic(conv_, UCNV_UTF8, target,
                                   static_cast<int32_t>(room), source,
                                   static_cast<int32_t>(source_length), &err);
    const bool substituted = TakeSubstitutions() > 0;
    full = n > 0 ? static_cast<size_t>(n) : 0;
    if (err == U_BUFFER_OVERFLOW_ERROR) {
      result = kConvertCut;
    } else if (err == U_MEMORY_ALLOCATION_ERROR) {
      result = kConvertNoMemory;
    } else if (U_FAILURE(err) || substituted) {
      result = kConvertSubstituted;
    }
    if (U_FAILURE(err) && err != U_BUFFER_OVERFLOW_ERROR) full = 0;
  }
  if (status != nullptr) *status = result;
  if (capacity == 0) return full;
  size_t kept = full;
  if (full > room) {
    kept = WholeCharacters(dir, dest, room);
    std::memset(dest + kept, ' ', capacity - kept);
  } else if (!terminated && kept < room) {
    dest[kept] = ' ';
  }
  if (terminated) dest[kept] = '\0';
  return kept;
}

int Converter::ConvertField(Direction dir, const char* source, size_t length,
                            char* field, size_t field_size) {
  if (const SingleByteTable* table = TableFor(dir)) {
    return ConvertFieldByTable(*table, source, length, field, field_size);
  }
  while (length > 0 && source[length - 1] == ' ') --length;
  if (shortcuts_ != nullptr && shortcuts_->ascii && length <= field_size &&
      IsAscii(source, length)) {
    std::memcpy(field, source, length);
    std::memset(field + length, ' ', field_size - length);
    return kConvertClean;
  }
  int status = kConvertClean;
  const size_t kept =
      Convert(dir, field, field_size, source,
              static_cast<std::ptrdiff_t>(length), &status);
  std::memset(field + kept, ' ', field_size - kept);
  return status;
}

std::string Converter::ConvertText(Direction dir, std::string_view text,
                                   int* status) {
  // Three bytes per byte hold any code page's text in UTF-8 and UTF-8 in
  // any code page but the stateful ones, which are measured first.
  std::string out(text.size() * 3 + 8, '\0');
  int result = kConvertClean;
  size_t kept = Convert(dir, out.data(), out.size(), text.data(),
                        static_cast<std::ptrdiff_t>(text.size()), &result);
  if (result == kConvertCut) {
    const size_t full = Convert(dir, nullptr, 0, text.data(),
                                static_cast<std::ptrdiff_t>(text.size()));
    out.assign(full + 1, '\0');
    kept = Convert(dir, out.data(), out.size(), text.data(),
                   static_cast<std::ptrdiff_t>(text.size()), &result);
  }
  out.resize(kept);
  if (status != nullptr) *status = result;
  return out;
}

}  // namespace vexa::text
