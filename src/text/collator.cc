#include "text/collator.h"

#include <cstring>

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include "support/errors.h"
#include "text/current_converter.h"
#include "text/icu_converters.h"
#include "text/interface_encoding.h"

namespace vexa::text {
namespace {

// The collator of the default locale, opened on first use and kept.
const UCollator* DefaultCollator() {
  static const UCollatorPtr collator = [] {
    UErrorCode err = U_ZERO_ERROR;
    UCollator* c = ucol_open(uloc_getDefault(), &err);
    if (U_FAILURE(err)) {
      ucol_close(c);
      c = nullptr;
    }
    return UCollatorPtr(c);
  }();
  return collator.get();
}

UCollatorPtr CloneCollator(UColAttributeValue strength) {
  const UCollator* base = DefaultCollator();
  if (base == nullptr) return nullptr;
  UErrorCode err = U_ZERO_ERROR;
#if U_ICU_VERSION_MAJOR_NUM >= 71
  UCollator* copy = ucol_clone(base, &err);
#else
  UCollator* copy = ucol_safeClone(base, nullptr, nullptr, &err);
#endif
  if (U_FAILURE(err)) {
    ucol_close(copy);
    return nullptr;
  }
  ucol_setStrength(copy, strength);
  return UCollatorPtr(copy);
}

int Sign(UCollationResult r) {
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

}  // namespace

std::string LocaleAndEncoding() {
  const UCollator* collator = DefaultCollator();
  if (collator == nullptr) return {};
  UErrorCode err = U_ZERO_ERROR;
  const char* locale = ucol_getLocaleByType(collator, ULOC_VALID_LOCALE, &err);
  return std::string(U_SUCCESS(err) && locale ? locale : "") + "." +
         PreferredConverterName(CurrentConverter());
}

Collator::Collator() { Init(); }

Collator::Collator(const Collator& other) {
  if (other.init_) Init();
}

Collator& Collator::operator=(const Collator& other) {
  if (this != &other && other.init_) Init();
  return *this;
}

Collator::~Collator() { Close(); }

void Collator::Close() {
  ucol_close(collator_);
  ucnv_close(converter_);
  collator_ = nullptr;
  converter_ = nullptr;
}

void Collator::Init() {
  const bool utf8 = GetInterfaceMode() == InterfaceMode::kUtf8;
  std::string key = utf8 ? std::string() : LocaleAndEncoding();
  if (init_ && !utf8 && !utf8_ && key == key_) return;
  Close();
  init_ = false;
  key_ = std::move(key);
  utf8_ = utf8;
  UCollatorPtr collator = CloneCollator(UCOL_IDENTICAL);
  VEXA_ASSERT(collator != nullptr);
  if (!utf8) {
    UConverterPtr converter = CloneCurrentConverter();
    VEXA_ASSERT(converter != nullptr);
    SetLibrarySubstitution(converter.get());
    converter_ = converter.release();
  }
  collator_ = collator.release();
  init_ = true;
}

size_t Collator::ToUtf16(const char* text, size_t length,
                         std::vector<char16_t>& buffer) {
  // A code-page byte is at most one UTF-16 code unit.
  if (buffer.size() < length + 1) buffer.resize(length + 1);
  UErrorCode err = U_ZERO_ERROR;
  ucnv_reset(converter_);
  const int32_t n =
      ucnv_toUChars(converter_, reinterpret_cast<UChar*>(buffer.data()),
                    static_cast<int32_t>(buffer.size()), text,
                    static_cast<int32_t>(length), &err);
  TakeSubstitutions();
  return U_FAILURE(err) || n < 0 ? 0 : static_cast<size_t>(n);
}

int Collator::Compare(const char* a, std::ptrdiff_t a_length, const char* b,
                      std::ptrdiff_t b_length) {
  VEXA_ASSERT(init_);
  const size_t la = a_length < 0 ? std::strlen(a) : static_cast<size_t>(a_length);
  const size_t lb = b_length < 0 ? std::strlen(b) : static_cast<size_t>(b_length);
  UErrorCode err = U_ZERO_ERROR;
  if (utf8_) {
    return Sign(ucol_strcollUTF8(collator_, a, static_cast<int32_t>(la), b,
                                 static_cast<int32_t>(lb), &err));
  }
  size_t n1 = ToUtf16(a, la, first_);
  size_t n2 = ToUtf16(b, lb, second_);
  const auto* s = reinterpret_cast<const UChar*>(first_.data());
  const auto* l = reinterpret_cast<const UChar*>(second_.data());
  int sign = 1;
  if (n1 > n2) {
    std::swap(s, l);
    std::swap(n1, n2);
    sign = -1;
  }
  const auto length = [](size_t n) { return static_cast<int32_t>(n); };
  if (n1 != n2 && l[n1] == u' ') {
    const int head = Sign(ucol_strcoll(collator_, s, length(n1), l, length(n1)));
    if (head != 0) return sign * head;
    for (size_t i = n1; i < n2; ++i) {
      if (l[i] != u' ') return -sign;
    }
    return 0;
  }
  return sign * Sign(ucol_strcoll(collator_, s, length(n1), l, length(n2)));
}

int CollationCompare(std::string_view a, std::string_view b, bool exact,
                     int* status) {
  if (status != nullptr) *status = 0;
  UCollatorPtr collator = CloneCollator(exact ? UCOL_IDENTICAL : UCOL_SECONDARY);
  UErrorCode err = U_ZERO_ERROR;
  UCollationResult r = UCOL_EQUAL;
  if (collator) {
    r = ucol_strcollUTF8(collator.get(), a.data(), static_cast<int32_t>(a.size()),
                         b.data(), static_cast<int32_t>(b.size()), &err);
  }
  if ((!collator || U_FAILURE(err)) && status != nullptr) *status = 3;
  return Sign(r);
}

}  // namespace vexa::text
