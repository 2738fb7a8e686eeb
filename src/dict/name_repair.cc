// Name repair after a dictionary has been read from a file (or converted
// into another encoding): invalid and repeated names are replaced by v1,
// v2, ... (skipping names in use), and without a long names record every
// name is lower-cased.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dict/dictionary.h"
#include "dict/names.h"
#include "text/interface_encoding.h"

namespace vexa {

void RepairNames(Dictionary& dictionary, bool long_names) {
  std::set<std::string> keys;
  std::vector<int> repair;
  for (int i = 0; i < dictionary.Count(); ++i) {
    const std::string& name = dictionary.At(i).Name();
    std::string key = NameKey(name);
    if (!IsValidFileName(name) || keys.count(key) != 0) {
      repair.push_back(i);
    } else {
      keys.insert(std::move(key));
    }
  }

  int counter = 1;
  std::map<std::string, std::string> renamed;  // old key -> new name
  for (int index : repair) {
    std::string number;
    do {
      number = std::to_string(counter++);
    } while (keys.count("V" + number) != 0);
    keys.insert("V" + number);
    const std::string old_key = NameKey(dictionary.At(index).Name());
    // A repeated name keeps naming the first variable that has it.
    if (keys.count(old_key) == 0) renamed.emplace(old_key, "v" + number);
    dictionary.MutableAt(index).SetName("v" + number);
  }
  // Sets name their variables: a renamed variable stays in its sets.
  if (!renamed.empty()) {
    for (VariableSet& set : dictionary.MutableMeta().sets) {
      for (std::string& name : set.variables) {
        const auto it = renamed.find(NameKey(name));
        if (it != renamed.end()) name = it->second;
      }
    }
  }

  if (long_names) return;
  for (int i = 0; i < dictionary.Count(); ++i) {
    const std::string& name = dictionary.At(i).Name();
    std::string lower = text::ToLower(name);
    if (lower != name) dictionary.MutableAt(i).SetName(lower);
  }
}

}  // namespace vexa
