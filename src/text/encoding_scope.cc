#include "text/encoding_scope.h"

#include <string>

#include "text/current_converter.h"
#include "text/icu_converters.h"

namespace vexa::text {

EncodingScope::EncodingScope(std::string_view encoding, InterfaceMode mode)
    : saved_mode_(GetInterfaceMode()) {
  if (!encoding.empty()) {
    UConverterPtr conv;
    if (encoding.find('\0') == std::string_view::npos) {
      conv = OpenConverterByName(std::string(encoding).c_str());
    }
    ok_ = conv != nullptr;
    if (ok_) {
      saved_ = SwapCurrentConverter(std::move(conv)).release();
      swapped_ = true;
    }
  }
  SetInterfaceMode(mode);
}

EncodingScope::~EncodingScope() {
  if (swapped_) SwapCurrentConverter(UConverterPtr(saved_));
  SetInterfaceMode(saved_mode_);
}

}  // namespace vexa::text
