#include "import_notes.h"

#include <iostream>

namespace vexa::tool {

bool ImportNotes::Note(const char* kind, int64_t line, size_t column, const std::string& what) {
  const int64_t seen = ++counts_[kind];
  if (seen <= kShownPerKind || strict_) {
    std::cerr << "vexa import: " << file_;
    if (line > 0) std::cerr << ':' << line;
    if (column > 0) std::cerr << ':' << column;
    std::cerr << ": " << (strict_ ? "" : "warning: ") << what
              << (strict_ ? " (--strict: nothing written)" : "") << '\n';
  }
  return !strict_;
}

void ImportNotes::Say(int64_t line, size_t column, const std::string& what) const {
  std::cerr << "vexa import: " << file_ << ':' << line << ':' << column << ": " << what << '\n';
}

void ImportNotes::Finish() {
  for (const auto& [kind, count] : counts_) {
    if (count > kShownPerKind) {
      std::cerr << "vexa import: " << file_ << ": warning: " << count - kShownPerKind
                << " more like that: " << kind << '\n';
    }
  }
}

}  // namespace vexa::tool
