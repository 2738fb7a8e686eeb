#include "text/runtime_locale.h"

#include <clocale>

#include "text/code_pages.h"

namespace vexa::text {

std::string RuntimeLocale(int category) {
  const char* current = std::setlocale(category, nullptr);
  return current != nullptr ? current : "";
}

std::string SetRuntimeLocale(int category, const char* locale) {
  const std::string saved = RuntimeLocale(category);
  const char* result = std::setlocale(category, locale);
  if (result == nullptr) {
    if (!saved.empty()) std::setlocale(category, saved.c_str());
    return {};
  }
  std::string text = result;
  if (category == LC_ALL || category == LC_CTYPE) {
    const std::string ctype = RuntimeLocale(LC_CTYPE);
    const size_t dot = ctype.rfind('.');
    if (dot != std::string::npos) {
      const size_t at = ctype.find('@', dot);
      const std::string codeset = ctype.substr(dot + 1, at == std::string::npos
                                                            ? std::string::npos
                                                            : at - dot - 1);
      SetCurrentCodePage(codeset);  // no change when nothing opens for it
    }
  }
  return text;
}

}  // namespace vexa::text
