// Data file and variable attributes: getters that hand out subscripted
// names, setters that replace the whole set, adders that change one value.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "api/call_guard.h"
#include "api/name_rules.h"
#include "dict/names.h"
#include "support/errors.h"
#include "text/interface_encoding.h"
#include "vexaio.h"

using namespace vexa;

namespace {

constexpr std::string_view kFileReserved[] = {
    "$CreationDate", "$ExtendedFileLabel", "$ModificationDate", "$VD.SRule",
    "$VD.CRule", "$TR.Formula", "$TR.Timestamp", "$qv.displayedattributes",
    "$@Quillon.MDDFile", "$VariableView", "$VariableView2"};
constexpr std::string_view kVariableReserved[] = {
    "$CreationDate", "$ExtendedVariableLabel", "$ModificationDate",
    "$VD.SRuleRef", "$VD.RuleOutcomeVar", "$TR.Formula", "$TR.Timestamp",
    "$ODBC.Name", "$ODBC.Table", "$ODBC.Schema", "$ODBC.Catalog", "$ODBC.Size",
    "$ODBC.Type", "$Py.Function", "$@Role", "$@MeasurementLevel"};
constexpr long kMaxSubscript = 2147483646;

enum class Owner { kFile, kVariable };

// Why a plain attribute name is not one a caller may use for the owner; an
// empty text when it is.
std::string AttributeNameProblem(std::string_view name, Owner owner) {
  for (char mark : {'.', '_'}) {
    const size_t at = name.find(mark);
    if (at != std::string_view::npos && at + 1 == name.size()) {
      return Sentence("the attribute name {} ends with its first \"{}\"", Quoted{std::string(name)},
                      std::string(1, mark));
    }
  }
  if (!name.empty() && name.front() == '$') {
    const std::string key = text::ToUpper(name);
    auto matches = [&](const auto& list) {
      for (std::string_view reserved : list) {
        if (text::ToUpper(reserved) == key) return true;
      }
      return false;
    };
    if (owner == Owner::kFile ? matches(kFileReserved) : matches(kVariableReserved)) return {};
    return Sentence("the attribute name {} begins with \"$\" but is none of the reserved {} "
                    "attribute names", Quoted{std::string(name)},
                    owner == Owner::kFile ? "data file" : "variable");
  }
  const std::string plain(name);
  const int check = ValidateVarname(plain.c_str());
  return check == VEXA_NAME_OK ? std::string() : "attribute: " + NameProblem(plain.c_str(), check);
}

// Raises VEXA_E_BAD_ATTRIBUTE_NAME, saying why, for a name the owner may not use.
void RequireAttributeName(std::string_view name, Owner owner) {
  if (std::string problem = AttributeNameProblem(name, owner); !problem.empty()) {
    throw ApiError(VEXA_E_BAD_ATTRIBUTE_NAME, std::move(problem));
  }
}

struct ParsedName {
  std::string_view name;
  size_t subscript;  // 0: none
};

// "name" or "name[k]"; raises VEXA_E_BAD_ATTRIBUTE_NAME.
ParsedName ParseName(std::string_view text, Owner owner) {
  ParsedName out{text, 0};
  const size_t open = text.find('[');
  if (open != std::string_view::npos) {
    const std::string_view digits = text.substr(open + 1, text.size() - open - 2);
    long k = 0;
    bool ok = text.back() == ']' && !digits.empty() && digits.size() <= 10;
    for (char c : digits) {
      ok = ok && c >= '0' && c <= '9';
      if (ok) k = k * 10 + (c - '0');
    }
    if (!ok || k < 1 || k > kMaxSubscript) {
      throw ApiError(VEXA_E_BAD_ATTRIBUTE_NAME,
                     Sentence("the attribute name {} has a subscript other than [1] to [{}]",
                              Quoted{std::string(text)}, kMaxSubscript));
    }
    out = {text.substr(0, open), static_cast<size_t>(k)};
  }
  RequireAttributeName(out.name, owner);
  return out;
}

char* CopyOut(const std::string& text) {
  auto* out = static_cast<char*>(std::malloc(text.size() + 1));
  if (out == nullptr) throw ApiError(VEXA_E_NO_MEMORY);
  std::memcpy(out, text.c_str(), text.size() + 1);
  return out;
}

// Fills the caller's arrays from `set`; on failure releases what it made.
int GetAttributes(const AttributeSet& set, char*** names, char*** values, int* count) {
  std::vector<std::pair<std::string, const std::string*>> entries;
  for (const Attribute& a : set.List()) {
    const int n = static_cast<int>(a.values.size());
    const int width = static_cast<int>(std::to_string(n).size());
    for (int k = 0; k < n; ++k) {
      const std::string& v = a.values[static_cast<size_t>(k)];
      if (v.empty()) continue;
      if (n == 1) {
        entries.emplace_back(a.name, &v);
      } else {
        char subscript[16];
        std::snprintf(subscript, sizeof subscript, "[%0*d]", width, k + 1);
        entries.emplace_back(a.name + subscript, &v);
      }
    }
  }
  if (entries.empty()) return VEXA_OK;
  const size_t n = entries.size();
  auto** out_names = static_cast<char**>(std::calloc(n, sizeof(char*)));
  auto** out_values = static_cast<char**>(std::calloc(n, sizeof(char*)));
  *names = out_names;
  *values = out_values;
  *count = static_cast<int>(n);
  if (out_names == nullptr || out_values == nullptr) throw ApiError(VEXA_E_NO_MEMORY);
  for (size_t i = 0; i < n; ++i) {
    out_names[i] = CopyOut(entries[i].first);
    out_values[i] = CopyOut(*entries[i].second);
  }
  return VEXA_OK;
}

// Runs a getter; on failure releases the arrays and resets the outputs.
template <class Body>
int Getter(char*** names, char*** values, int* count, Body&& body) {
  if (names) *names = nullptr;
  if (values) *values = nullptr;
  if (count) *count = 0;
  const int code = Guarded(kFallbackHandle, [&] {
    Required(names), Required(values), Required(count);
    return body();
  });
  if (code > 0 && names && values && count) {
    vexaFreeAttributes(*names, *values, *count);
    *names = nullptr;
    *values = nullptr;
    *count = 0;
  }
  return code;
}

AttributeSet SetFrom(const char** names, const char** values, int count, Owner owner) {
  if (count > 0 && (names == nullptr || values == nullptr)) {
    throw ApiError(VEXA_E_BAD_ATTRIBUTE_ARGS);
  }
  AttributeSet set;
  for (int i = 0; i < count; ++i) {
    if (names[i] == nullptr || values[i] == nullptr || *names[i] == '\0' ||
        *values[i] == '\0') {
      continue;
    }
    const ParsedName parsed = ParseName(TrimBlanks(names[i]), owner);
    if (parsed.subscript == 0) {
      set.Set(parsed.name, {values[i]});
    } else {
      set.SetValue(parsed.name, parsed.subscript, values[i]);
    }
  }
  return set;
}

AttributeSet AddTo(AttributeSet set, const char* name, int subscript, const char* value,
                   Owner owner) {
  if (name == nullptr || value == nullptr || *name == '\0' || *value == '\0' ||
      (subscript != -1 && subscript < 1)) {
    throw ApiError(VEXA_E_BAD_ATTRIBUTE_ARGS);
  }
  const std::string_view plain = TrimBlanks(name);
  RequireAttributeName(plain, owner);
  if (subscript == -1) {
    set.Set(plain, {value});
  } else {
    set.SetValue(plain, static_cast<size_t>(subscript), value);
  }
  return set;
}

}  // namespace

extern "C" {

VEXA_API int vexaGetFileAttributes(int handle, char*** attribNames, char*** attribText,
                                   int* nAttributes) {
  return Getter(attribNames, attribText, nAttributes, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    return GetAttributes(r.Dict().FileAttributes(), attribNames, attribText, nAttributes);
  });
}

VEXA_API int vexaGetVarAttributes(int handle, const char* varName, char*** attribNames,
                                  char*** attribText, int* nAttributes) {
  return Getter(attribNames, attribText, nAttributes, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    const int index = RequireVariable(r, varName);
    return GetAttributes(r.Dict().At(index).Attributes(), attribNames, attribText,
                         nAttributes);
  });
}

VEXA_API int vexaSetFileAttributes(int handle, const char** attribNames,
                                   const char** attribText, int nAttributes) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    r.Dict().SetFileAttributes(SetFrom(attribNames, attribText, nAttributes, Owner::kFile));
    return VEXA_OK;
  });
}

VEXA_API int vexaSetVarAttributes(int handle, const char* varName, const char** attribNames,
                                  const char** attribText, int nAttributes) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    const int index = RequireVariable(r, varName);
    AttributeSet set = SetFrom(attribNames, attribText, nAttributes, Owner::kVariable);
    r.Dict().MutableAt(index).SetAttributes(std::move(set));
    return VEXA_OK;
  });
}

VEXA_API int vexaAddFileAttribute(int handle, const char* attribName, int attribSub,
                                  const char* attribText) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    r.Dict().SetFileAttributes(AddTo(r.Dict().FileAttributes(), attribName, attribSub,
                                     attribText, Owner::kFile));
    return VEXA_OK;
  });
}

VEXA_API int vexaAddVarAttribute(int handle, const char* varName, const char* attribName,
                                 int attribSub, const char* attribText) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    const int index = RequireVariable(r, varName);
    AttributeSet set = AddTo(r.Dict().At(index).Attributes(), attribName, attribSub,
                             attribText, Owner::kVariable);
    r.Dict().MutableAt(index).SetAttributes(std::move(set));
    return VEXA_OK;
  });
}

VEXA_API int vexaFreeAttributes(char** attribNames, char** attribText, int nAttributes) {
  return Guarded(kFallbackFree, [&] {
    for (int i = 0; i < nAttributes; ++i) {
      if (attribNames) std::free(attribNames[i]);
      if (attribText) std::free(attribText[i]);
    }
    if (nAttributes > 0) {
      std::free(attribNames);
      std::free(attribText);
    }
    return VEXA_OK;
  });
}

}  // extern "C"
