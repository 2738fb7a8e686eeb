// Multiple-response sets and variable sets: their text form (one line per
// set), definition records, and the calls that add and replace them. The
// dictionary's set list is the store; the header commit writes it.
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/call_guard.h"
#include "api/name_rules.h"
#include "dict/names.h"
#include "dict/set_lines.h"
#include "support/errors.h"
#include "text/interface_encoding.h"
#include "vexaio.h"

using namespace vexa;

namespace {

constexpr size_t kSetNameBytes = 64;
constexpr size_t kSetLabelBytes = 256;

char* CopyOut(std::string_view text) {
  auto* out = static_cast<char*>(std::malloc(text.size() + 1));
  if (out == nullptr) throw ApiError(VEXA_E_NO_MEMORY);
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return out;
}

bool IsMultResp(const VariableSet& set) { return set.type != VariableSet::kVariables; }

std::vector<const VariableSet*> MultRespSets(const Dictionary& d) {
  std::vector<const VariableSet*> out;
  for (const VariableSet& set : d.Meta().sets) {
    if (IsMultResp(set)) out.push_back(&set);
  }
  return out;
}

// Replaces the sets of one group (variable sets or multiple-response sets)
// by `sets`, keeping the other group.
void ReplaceGroup(Dictionary& d, bool mult_resp, std::vector<VariableSet> sets) {
  std::vector<VariableSet> all;
  for (VariableSet& set : d.MutableMeta().sets) {
    if (IsMultResp(set) != mult_resp) all.push_back(std::move(set));
  }
  for (VariableSet& set : sets) all.push_back(std::move(set));
  d.MutableMeta().sets = std::move(all);
}

// Lines of `text`, split at line feeds; a carriage return before a line
// feed belongs to the separator.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    size_t content_end = end;
    if (end < text.size() && content_end > at && text[content_end - 1] == '\r') --content_end;
    lines.push_back(text.substr(at, content_end - at));
    at = end + 1;
  }
  return lines;
}

// A set must name variables of the dictionary: the file holds no others,
// and what the getters show is what the file will hold.
void RequireMembers(const HandleRecord& r, const VariableSet& set, int code) {
  for (const std::string& name : set.variables) {
    if (r.FindVariable(name) < 0) {
      throw ApiError(code, Sentence("the set {} names {}, which is no variable of the file",
                                    Quoted{set.name}, Quoted{name}));
    }
  }
}

// The set records are one line per set: a line feed in a text would end it
// there, so it is left out (as in attribute values).
std::string WithoutLineFeeds(std::string text) {
  std::erase(text, '\n');
  return text;
}

// `text` into a field of `bytes` bytes and its NUL, cut on a character.
void CopyCut(std::string_view text, char* field, size_t bytes) {
  const size_t n = text::CutOnCharacters(text, bytes);
  std::memcpy(field, text.data(), n);
  std::memset(field + n, '\0', bytes + 1 - n);
}

void ReleaseDef(VEXA_MultRespDef* def) {
  if (def == nullptr) return;
  std::free(def->countedValue);
  for (int i = 0; def->varNames != nullptr && i < def->varCount; ++i) {
    std::free(def->varNames[i]);
  }
  std::free(def->varNames);
  std::free(def);
}

}  // namespace

extern "C" {

VEXA_API int vexaGetMultRespCount(int handle, int* count) {
  if (count) *count = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    *Required(count) = static_cast<int>(MultRespSets(r.Dict()).size());
    return VEXA_OK;
  });
}

static int GetDefs(int handle, char** text, bool all) {
  if (text) *text = nullptr;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(text);
    std::string out;
    for (const VariableSet* set : MultRespSets(r.Dict())) {
      if (all || !(set->flags & VariableSet::kExtended)) out += SetLine(*set, false);
    }
    if (out.empty()) return VEXA_W_NO_MULT_RESP;
    *text = CopyOut(out);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetMultRespDefs(int handle, char** mrespDefs) {
  return GetDefs(handle, mrespDefs, false);
}

VEXA_API int vexaGetMultRespDefsEx(int handle, char** mrespDefs) {
  return GetDefs(handle, mrespDefs, true);
}

VEXA_API int vexaFreeMultRespDefs(char* mrespDefs) {
  std::free(mrespDefs);
  return VEXA_OK;
}

VEXA_API int vexaSetMultRespDefs(int handle, const char* mrespDefs) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    std::vector<VariableSet> sets;
    for (std::string_view line : SplitLines(mrespDefs ? mrespDefs : "")) {
      const size_t eq = line.find('=');
      if (line.empty() || line.front() != '$' || eq == std::string_view::npos ||
          eq > kSetNameBytes || eq + 1 >= line.size() ||
          (line[eq + 1] != 'C' && line[eq + 1] != 'D')) {
        return VEXA_E_BAD_MULT_RESP;
      }
      std::optional<VariableSet> set = ParseSetLine(line);
      if (!set || set->variables.empty() || set->type == VariableSet::kVariables ||
          (set->type == VariableSet::kDichotomies && set->counted_value.empty())) {
        return VEXA_E_BAD_MULT_RESP;
      }
      RequireMembers(r, *set, VEXA_E_BAD_MULT_RESP);
      std::erase_if(sets, [&](const VariableSet& s) { return s.name == set->name; });
      sets.push_back(std::move(*set));
    }
    ReplaceGroup(r.Dict(), true, std::move(sets));
    return VEXA_OK;
  });
}

VEXA_API int vexaGetMultRespDefByIndex(int handle, int index, VEXA_MultRespDef** def) {
  if (def) *def = nullptr;
  VEXA_MultRespDef* made = nullptr;
  const int code = Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(def);
    made = static_cast<VEXA_MultRespDef*>(std::calloc(1, sizeof(VEXA_MultRespDef)));
    if (made == nullptr) return VEXA_E_NO_MEMORY;
    const std::vector<const VariableSet*> sets = MultRespSets(r.Dict());
    if (index < 0 || static_cast<size_t>(index) >= sets.size()) {
      return VEXA_E_BAD_MULT_RESP_INDEX;
    }
    const VariableSet& set = *sets[static_cast<size_t>(index)];
    CopyCut(set.name, made->name, kSetNameBytes);
    CopyCut(set.label, made->label, kSetLabelBytes);
    made->isDichotomy = set.type == VariableSet::kDichotomies;
    if (made->isDichotomy) {
      made->extended = (set.flags & VariableSet::kExtended) != 0;
      made->labelFromVariables = (set.flags & VariableSet::kLabelFromVariables) != 0;
      const int first = set.variables.empty() ? -1 : r.FindVariable(set.variables.front());
      made->numericCounted = first >= 0 && r.Dict().At(first).IsNumeric();
      made->countedValue = CopyOut(set.counted_value);
      if (made->numericCounted) made->countedInt = std::atoi(made->countedValue);
    }
    made->varNames =
        static_cast<char**>(std::calloc(set.variables.size() + 1, sizeof(char*)));
    if (made->varNames == nullptr) return VEXA_E_NO_MEMORY;
    for (const std::string& name : set.variables) {
      made->varNames[made->varCount] = CopyOut(name);
      ++made->varCount;
    }
    *def = made;
    return VEXA_OK;
  });
  if (code != VEXA_OK) {
    ReleaseDef(made);
    if (def) *def = nullptr;
  }
  return code;
}

VEXA_API int vexaFreeMultRespDefStruct(VEXA_MultRespDef* def) {
  ReleaseDef(def);
  return VEXA_OK;
}

VEXA_API int vexaAddMultRespDefExt(int handle, const VEXA_MultRespDef* def) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    Required(def);
    const std::string name(def->name, strnlen(def->name, sizeof def->name));
    if (const int check = ValidateVarname(name.c_str()); check != VEXA_NAME_SYSTEM) {
      throw ApiError(VEXA_E_BAD_MULT_RESP_NAME,
                     check == VEXA_NAME_OK || check == VEXA_NAME_SCRATCH
                         ? Sentence("the set name {} does not begin with \"$\"", Quoted{name})
                         : NameProblem(name.c_str(), check));
    }
    VariableSet set;
    set.name = std::string(TrimBlanks(name));
    set.label = WithoutLineFeeds(std::string(def->label, strnlen(def->label, sizeof def->label)));
    const bool dichotomy = def->isDichotomy != 0;
    set.type = dichotomy ? VariableSet::kDichotomies : VariableSet::kCategories;
    if (dichotomy) {
      if (def->numericCounted) {
        set.counted_value = std::to_string(static_cast<long>(def->countedInt));
      } else if (def->countedValue != nullptr) {
        set.counted_value = WithoutLineFeeds(def->countedValue);
      }
      if (set.counted_value.empty()) return VEXA_E_BAD_MULT_RESP;
      set.flags = (def->extended ? VariableSet::kExtended : 0) |
                  (def->labelFromVariables ? VariableSet::kLabelFromVariables : 0);
    }
    // A name in use is reported before the flags and the variables.
    for (const VariableSet* other : MultRespSets(r.Dict())) {
      if (other->name == set.name) return VEXA_E_DUPLICATE_MULT_RESP;
    }
    const bool flags_fit = dichotomy ? def->extended || !def->labelFromVariables
                                     : !def->extended && !def->labelFromVariables;
    if (!flags_fit) return VEXA_E_BAD_MULT_RESP;
    if (def->varCount < 1 || def->varNames == nullptr) return VEXA_E_BAD_MULT_RESP;
    int first_type = -1;
    for (int i = 0; i < def->varCount; ++i) {
      const int index = def->varNames[i] ? r.FindVariable(def->varNames[i]) : -1;
      if (index < 0) return VEXA_E_BAD_MULT_RESP;
      const bool numeric = r.Dict().At(index).IsNumeric();
      if (first_type < 0) first_type = numeric;
      const bool fits = dichotomy ? numeric == (def->numericCounted != 0)
                                  : numeric == (first_type == 1);
      if (!fits) return VEXA_E_BAD_MULT_RESP;
      set.variables.emplace_back(def->varNames[i]);
    }
    r.Dict().MutableMeta().sets.push_back(std::move(set));
    return VEXA_OK;
  });
}

static int AddDef(int handle, const char* name, const char* label, int dichotomy,
                  const char* counted, long counted_int, bool numeric, const char** names,
                  int count) {
  VEXA_MultRespDef def{};
  if (name) CopyCut(name, def.name, kSetNameBytes);
  if (label) CopyCut(label, def.label, kSetLabelBytes);
  def.isDichotomy = dichotomy != 0;
  def.numericCounted = numeric;
  def.countedInt = static_cast<int>(counted_int);
  std::string text = numeric ? std::to_string(counted_int) : std::string(counted ? counted : "");
  def.countedValue = text.data();
  def.varNames = const_cast<char**>(names);
  def.varCount = count;
  return vexaAddMultRespDefExt(handle, &def);
}

VEXA_API int vexaAddMultRespDefC(int handle, const char* mrSetName, const char* mrSetLabel,
                                 int isDichotomy, const char* countedValue,
                                 const char** varNames, int numVars) {
  return AddDef(handle, mrSetName, mrSetLabel, isDichotomy, countedValue, 0, false, varNames,
                numVars);
}

VEXA_API int vexaAddMultRespDefN(int handle, const char* mrSetName, const char* mrSetLabel,
                                 int isDichotomy, long countedValue, const char** varNames,
                                 int numVars) {
  return AddDef(handle, mrSetName, mrSetLabel, isDichotomy, nullptr, countedValue,
                isDichotomy != 0, varNames, numVars);
}

VEXA_API int vexaGetVariableSets(int handle, char** varSets) {
  if (varSets) *varSets = nullptr;
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(varSets);
    std::string out;
    for (const VariableSet& set : r.Dict().Meta().sets) {
      if (!IsMultResp(set) && !set.variables.empty()) out += SetLine(set, false);
    }
    if (out.empty()) return VEXA_W_NO_VARIABLE_SETS;
    *varSets = CopyOut(out);
    return VEXA_OK;
  });
}

VEXA_API int vexaSetVariableSets(int handle, const char* varSets) {
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    std::vector<VariableSet> sets;
    for (std::string_view line : SplitLines(varSets ? varSets : "")) {
      const size_t eq = line.find('=');
      if (eq == std::string_view::npos) return VEXA_E_BAD_VARIABLE_SETS;
      const std::string name(line.substr(0, eq));
      if (const int check = ValidateVarname(name.c_str()); check != VEXA_NAME_OK) {
        throw ApiError(VEXA_E_BAD_VARIABLE_SETS, NameProblem(name.c_str(), check));
      }
      std::optional<VariableSet> set = ParseSetLine(line);
      if (!set || set->variables.empty()) return VEXA_E_BAD_VARIABLE_SETS;
      RequireMembers(r, *set, VEXA_E_BAD_VARIABLE_SETS);
      sets.push_back(std::move(*set));
    }
    ReplaceGroup(r.Dict(), false, std::move(sets));
    return VEXA_OK;
  });
}

VEXA_API int vexaFreeVariableSets(char* varSets) {
  std::free(varSets);
  return VEXA_OK;
}

}  // extern "C"
