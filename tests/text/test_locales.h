// Single-byte locales for the tests that need one. A fresh machine has only
// C, C.UTF-8 and POSIX, so the locale is built once per test program with
// localedef (from the locales package) into a private directory, and LOCPATH
// points the runtime library at it. Where that is impossible the test skips
// and says why.
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
// runtime library accepts from now on, or empty with the reason in *why.
inline std::string SingleByteLocale(const std::string& charmap, std::string* why) {
  static vexa::testing::TempDir dir;
  static std::map<std::string, std::string> built;  // charmap -> name or ""
  auto it = built.find(charmap);
  if (it == built.end()) {
    const std::string name = "en_US." + charmap;
    const std::string command = "localedef -i en_US -f " + charmap + " '" +
                                dir.File(name) + "' >/dev/null 2>&1";
    const bool made = std::system(command.c_str()) == 0;
    setenv("LOCPATH", dir.path().c_str(), 1);
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    const bool accepted = made && std::setlocale(LC_CTYPE, name.c_str()) != nullptr;
    std::setlocale(LC_CTYPE, saved.c_str());
    it = built.emplace(charmap, accepted ? name : "").first;
  }
  if (it->second.empty() && why != nullptr) {
    *why = "cannot build the locale en_US." + charmap +
           " (localedef and the locales package are needed)";
  }
  return it->second;
}

// Names the locale in `var`, or skips the test when it cannot be had. With
// VEXA_REQUIRE_TEST_LOCALES set in the environment (CI sets it) the test
// fails instead, so that the tests that need the locale cannot go quiet.
#define VEXA_REQUIRE_LOCALE(var, charmap)                                  \
  std::string var;                                                         \
  {                                                                        \
    std::string why;                                                       \
    var = ::vexa::text::testing::SingleByteLocale(charmap, &why);          \
    if (var.empty() && std::getenv("VEXA_REQUIRE_TEST_LOCALES") != nullptr) \
      FAIL() << why;                                                       \
    if (var.empty()) GTEST_SKIP() << why;                                  \
  }

// Restores at scope exit the runtime library's locale and the current
// converter, which a locale call moves.
class ScopedLocale {
 public:
  ScopedLocale()
      : saved_(std::setlocale(LC_ALL, nullptr)),
        converter_(CloneConverter(CurrentConverter())) {}
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
