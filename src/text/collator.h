// Collation: ordering texts as people of the default locale expect, by ICU's
// collator for that locale.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct UCollator;   // ICU's, defined only where src/text uses it
struct UConverter;

namespace vexa::text {

// Compares texts in the interface encoding with its own clones of the
// default collator (at identical strength) and, in code-page mode, of the
// current converter. In code-page mode trailing blanks do not count: a text
// equals itself followed by blanks, and is less than itself followed by a
// blank and anything else. The clones follow the locale and the current
// converter of the moment the object is made (or copied).
class Collator {
 public:
  Collator();
  Collator(const Collator& other);
  Collator& operator=(const Collator& other);
  ~Collator();

  // -1, 0 or 1; a length of -1 means up to the NUL.
  int Compare(const char* a, std::ptrdiff_t a_length, const char* b,
              std::ptrdiff_t b_length);

 private:
  void Init();
  void Close();
  // The text as UTF-16 in `buffer`; its length in code units.
  size_t ToUtf16(const char* text, size_t length, std::vector<char16_t>& buffer);

  ::UCollator* collator_ = nullptr;
  ::UConverter* converter_ = nullptr;  // code-page mode only
  std::vector<char16_t> first_;
  std::vector<char16_t> second_;
  std::string key_;  // LocaleAndEncoding() the clones were made for
  bool utf8_ = false;
  bool init_ = false;
};

// A stateless comparison of two UTF-8 texts by the default collator, at
// identical strength when `exact`, else at secondary strength (accents
// count, letter case does not). *status becomes 3 when ICU fails.
int CollationCompare(std::string_view a, std::string_view b, bool exact,
                     int* status = nullptr);

// The default collator's locale, ".", and the current converter's preferred
// name, as "en_US.UTF-8"; the key under which collator clones are kept.
std::string LocaleAndEncoding();

}  // namespace vexa::text
