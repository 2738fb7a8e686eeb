// Variable sets (subtype 5): unit size 1, one line per set,
//   name= V1 V2 ...
// naming the variables by their short names (upper case). Read, the sets replace the
// dictionary's variable sets; the multiple-response sets stay.
#include "dict/set_lines.h"
#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "ext/short_name_sets.h"
#include "ext/text_record.h"

namespace vexa {
namespace {

class SFExtensionVariableSets : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    const ShortNameSets short_names(file.plan.name_map);
    std::string out;
    for (const VariableSet& set : file.dictionary.Meta().sets) {
      if (set.type == VariableSet::kVariables) out += short_names.Line(set);
    }
    StoreText(rec, out);
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    std::vector<VariableSet> parsed;
    ParseSetLines(LoadText(rec), false, parsed);
    std::vector<VariableSet>& sets = file.dictionary.MutableMeta().sets;
    std::erase_if(sets, [](const VariableSet& s) { return s.type == VariableSet::kVariables; });
    for (VariableSet& set : parsed) {
      if (set.type == VariableSet::kVariables) sets.push_back(std::move(set));
    }
  }
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& VariableSets() {
  static const SFExtensionVariableSets kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
