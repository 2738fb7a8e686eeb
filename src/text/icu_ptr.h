// Owning pointers for ICU handles. Every ICU object the library opens is held
// in one of these so that it is closed on every path, exceptions included.
#pragma once

#include <memory>

#include <unicode/ucnv.h>
#include <unicode/uversion.h>

namespace vexa::text {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using UConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// A private copy of a converter with its own conversion state; null when ICU
// cannot make one. Conversions never share a converter's state.
inline UConverterPtr CloneConverter(const UConverter* conv) {
  if (conv == nullptr) return nullptr;
  UErrorCode err = U_ZERO_ERROR;
#if U_ICU_VERSION_MAJOR_NUM >= 71
  UConverter* copy = ucnv_clone(conv, &err);
#else
  UConverter* copy = ucnv_safeClone(conv, nullptr, nullptr, &err);
#endif
  if (U_FAILURE(err)) {
    ucnv_close(copy);
    return nullptr;
  }
  return UConverterPtr(copy);
}

}  // namespace vexa::text
