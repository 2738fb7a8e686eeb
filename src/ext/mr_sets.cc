// Multiple-response sets: the plain record (subtype 7) holds the sets of
// categories and of dichotomies naming their variables by short names (upper
// case), the extended record (subtype 19) the extended dichotomy sets with
// the names as stored (line forms in dict/set_lines.h). Read, each record adds to (or
// replaces by name) the multiple-response sets read so far; a line that
// breaks the grammar is skipped and the others are kept.
#include "dict/set_lines.h"
#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "ext/short_name_sets.h"
#include "ext/text_record.h"

namespace vexa {
namespace {

bool IsExtended(const VariableSet& set) {
  return set.type == VariableSet::kDichotomies && (set.flags & VariableSet::kExtended);
}

class SFExtensionMrSets : public SystemFileExtensionHandler {
 public:
  explicit SFExtensionMrSets(bool extended) : extended_(extended) {}

  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    const ShortNameSets short_names(file.plan.name_map);
    std::string out;
    for (const VariableSet& set : file.dictionary.Meta().sets) {
      if (set.type != VariableSet::kVariables && IsExtended(set) == extended_) {
        out += extended_ ? SetLine(set, false) : short_names.Line(set);
      }
    }
    StoreText(rec, out);
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    std::vector<VariableSet>& sets = file.dictionary.MutableMeta().sets;
    std::vector<VariableSet> mr;
    std::vector<VariableSet> kept;
    for (VariableSet& set : sets) {
      (set.type == VariableSet::kVariables ? kept : mr).push_back(std::move(set));
    }
    ParseSetLines(LoadText(rec), !extended_, mr);
    for (VariableSet& set : mr) {
      if (set.type != VariableSet::kVariables) kept.push_back(std::move(set));
    }
    sets = std::move(kept);
  }

 private:
  bool extended_;
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& PlainMrSets() {
  static const SFExtensionMrSets kHandler(false);
  return kHandler;
}

const SystemFileExtensionHandler& ExtendedMrSets() {
  static const SFExtensionMrSets kHandler(true);
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
