// Name repair after a dictionary has been read from a file (or converted
// into another encoding): invalid and repeated names are replaced by v1,
// v2, ... (skipping names in use), and without a long names record every
// name is lower-cased.
#include <set>
#include <string>
#include <unordered_map>
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

  // Sets name their variables: a renamed variable stays in its sets (a
  // repeated name keeps naming the first variable that has it).
  const SetMembers members = repair.empty() ? SetMembers() : FindSetMembers(dictionary);
  int counter = 1;
  for (int index : repair) {
    std::string number;
    do {
      number = std::to_string(counter++);
    } while (keys.count("V" + number) != 0);
    keys.insert("V" + number);
    dictionary.MutableAt(index).SetName("v" + number);
  }
  if (!repair.empty()) FollowSetMembers(dictionary, members);

  if (long_names) return;
  for (int i = 0; i < dictionary.Count(); ++i) {
    const std::string& name = dictionary.At(i).Name();
    std::string lower = text::ToLower(name);
    if (lower != name) dictionary.MutableAt(i).SetName(lower);
  }
}

// Keys are made afresh on both sides: a dictionary being converted holds
// names keyed in another encoding.
SetMembers FindSetMembers(const Dictionary& dictionary) {
  std::unordered_map<std::string, int> by_key;
  for (int i = dictionary.Count(); i-- > 0;) by_key[NameKey(dictionary.At(i).Name())] = i;
  SetMembers members;
  for (const VariableSet& set : dictionary.Meta().sets) {
    std::vector<int>& indexes = members.emplace_back();
    for (const std::string& name : set.variables) {
      const auto it = by_key.find(NameKey(name));
      indexes.push_back(it == by_key.end() ? -1 : it->second);
    }
  }
  return members;
}

void FollowSetMembers(Dictionary& dictionary, const SetMembers& members) {
  std::vector<VariableSet>& sets = dictionary.MutableMeta().sets;
  for (size_t s = 0; s < sets.size() && s < members.size(); ++s) {
    std::vector<std::string>& names = sets[s].variables;
    for (size_t k = 0; k < names.size() && k < members[s].size(); ++k) {
      const int index = members[s][k];
      if (index < 0 || index >= dictionary.Count()) continue;
      const VEXA_Variable& var = dictionary.At(index);
      if (NameKey(names[k]) != NameKey(var.Name())) names[k] = var.Name();
    }
  }
}

}  // namespace vexa
