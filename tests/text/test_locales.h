// Single-byte locales for the tests that need one. A fresh machine has only
// C, C.UTF-8 and POSIX, so the locale is built once per test program with
// localedef (from the locales package) into a private directory, and LOCPATH
// points the runtime library at it. Where that is impossible the test skips
// and says why; with VEXA_REQUIRE_TEST_LOCALES set (CI sets it) it fails.
#pragma once

#include <clocale>
#include <cstdlib>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "text/current_converter.h"

namespace vexa::text::testing {

// The name of a locale of `charmap` ("CP1252", "ISO-8859-1") that the
// runtime library accepts from now on, or empty.
inline std::string SingleByteLocale(const std::string& charmap) {
  static vexa::testing::TempDir dir;
  static std::map<std::string, std::string> built;  // charmap -> name or ""
  auto it = built.find(charmap);
  if (it == built.end()) {
    const std::string name = "en_US." + charmap;
    const bool made = std::system(("localedef -i en_US -f " + charmap + " '" + dir.File(name) +
                                   "' >/dev/null 2>&1").c_str()) == 0;
    setenv("LOCPATH", dir.path().c_str(), 1);
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    const bool accepted = made && std::setlocale(LC_CTYPE, name.c_str()) != nullptr;
    std::setlocale(LC_CTYPE, saved.c_str());
    it = built.emplace(charmap, accepted ? name : "").first;
  }
  return it->second;
}

#define VEXA_REQUIRE_LOCALE(var, charmap)                                                   \
  const std::string var = ::vexa::text::testing::SingleByteLocale(charmap);                \
  if (var.empty()) {                                                                        \
    const char* why = "cannot build the locale en_US." charmap " (localedef and the "       \
                      "locales package are needed)";                                        \
    if (std::getenv("VEXA_REQUIRE_TEST_LOCALES") != nullptr) FAIL() << why;                \
    GTEST_SKIP() << why;                                                                    \
  }

// Restores at scope exit the runtime library's locale and the current
// converter, which a locale call moves.
class ScopedLocale {
 public:
  ScopedLocale()
      : saved_(std::setlocale(LC_ALL, nullptr)), converter_(CloneConverter(CurrentConverter())) {}
  ~ScopedLocale() {
    std::setlocale(LC_ALL, saved_.c_str());
    if (converter_) ReplaceCurrentConverter(std::move(converter_));
  }
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;

 private:
  std::string saved_;
  UConverterPtr converter_;
};

}  // namespace vexa::text::testing
