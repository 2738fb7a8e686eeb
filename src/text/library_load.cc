#include "text/library_load.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

namespace vexa::text {
namespace {

bool IsPlainLocale(const char* name) {
  return name == nullptr || std::strcmp(name, "C") == 0 ||
         std::strcmp(name, "POSIX") == 0;
}

}  // namespace

void ApplyLoadLocale() {
  std::setlocale(LC_ALL, "");
  if (!IsPlainLocale(std::setlocale(LC_CTYPE, nullptr))) return;
  // A process started without locale variables would otherwise take every
  // byte above 127 as invalid. C.UTF-8 is the one locale every Linux system
  // has (a named one such as en_US may be missing).
  if (std::setlocale(LC_ALL, kFallbackLocale) != nullptr) {
    setenv("LC_ALL", kFallbackLocale, 1);
  }
}

namespace {

// Runs the step while the library loads.
[[maybe_unused]] const bool kLocaleLoaded = EnsureLibraryLocale();

}  // namespace

bool EnsureLibraryLocale() {
  static const bool done = (ApplyLoadLocale(), true);
  return done;
}

}  // namespace vexa::text
