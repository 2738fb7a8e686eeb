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
  // A process started without locale variables would otherwise treat every
  // byte above 127 as invalid; prefer a locale that knows multibyte text.
  static constexpr const char* kCandidates[] = {"en_US", "en_US.UTF-8",
                                                "C.UTF-8"};
  for (const char* candidate : kCandidates) {
    if (std::setlocale(LC_ALL, candidate) != nullptr) {
      setenv("LC_ALL", candidate, 1);
      return;
    }
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
