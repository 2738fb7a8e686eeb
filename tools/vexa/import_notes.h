// What an import changes on the way into the file, said on stderr with the
// line and column, so that nothing changes silently; under --strict the
// first change fails the import. A flood of one kind is cut short: the
// first few of each kind are printed, the rest counted at the end.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace vexa::tool {

class ImportNotes {
 public:
  ImportNotes(std::string file, bool strict) : file_(std::move(file)), strict_(strict) {}
  ImportNotes(const ImportNotes&) = delete;
  ImportNotes& operator=(const ImportNotes&) = delete;

  // Says "vexa import: FILE:LINE:COLUMN: WHAT" (line and column 0 leave
  // them out; the kind groups notes for counting). Returns false under
  // --strict, after saying that the import stops.
  bool Note(const char* kind, int64_t line, size_t column, const std::string& what);
  // Says "vexa import: FILE:LINE:COLUMN: WHAT" as information: no warning,
  // and no failure under --strict.
  void Say(int64_t line, size_t column, const std::string& what) const;
  // Prints the counts of the notes not shown.
  void Finish();

 private:
  static constexpr int kShownPerKind = 5;
  std::string file_;
  bool strict_;
  std::map<std::string, int64_t> counts_;
};

}  // namespace vexa::tool
