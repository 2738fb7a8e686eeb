// Listing variables, translating names to variable handles, defining new
// variables and validating names.
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "api/call_guard.h"
#include "api/name_rules.h"
#include "dict/names.h"
#include "support/errors.h"
#include "vexaio.h"

using namespace vexa;

namespace {

void CopyName(const std::string& name, char* out) {
  std::memcpy(out, name.c_str(), name.size() + 1);
}

}  // namespace

namespace vexa {

int ValidateVarname(const char* name) {
  if (name == nullptr) return VEXA_NAME_BAD_LENGTH;
  switch (CheckVariableName(TrimBlanks(name))) {
    case kNameValid: return VEXA_NAME_OK;
    case kNameScratch: return VEXA_NAME_SCRATCH;
    case kNameSystem: return VEXA_NAME_SYSTEM;
    case kNameBadLength: return VEXA_NAME_BAD_LENGTH;
    case kNameReserved: return VEXA_NAME_RESERVED;
    case kNameBadFirst: return VEXA_NAME_BAD_FIRST;
    default: return VEXA_NAME_BAD_CHAR;
  }
}

std::string NameProblem(const char* name, int result) {
  const char* what = "is not a valid name";
  switch (result) {
    case VEXA_NAME_SCRATCH: what = "begins with \"#\", which marks a scratch name"; break;
    case VEXA_NAME_SYSTEM: what = "begins with \"$\", which marks a system name"; break;
    case VEXA_NAME_BAD_LENGTH: what = "is empty or longer than 64 bytes"; break;
    case VEXA_NAME_BAD_CHAR:
      what = "holds a character no name may hold (a blank, a sign other than "
             "@ # $ _ ., or bytes that are no character)";
      break;
    case VEXA_NAME_RESERVED: what = "is a reserved word"; break;
    case VEXA_NAME_BAD_FIRST: what = "begins with a digit, \"_\" or \".\""; break;
  }
  return Sentence("the name {} {}", Quoted{name ? name : ""}, what);
}

}  // namespace vexa

extern "C" {

VEXA_API int vexaGetNumberofVariables(int handle, int* numVars) {
  if (numVars) *numVars = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    *Required(numVars) = r.Dict().Count();
    return VEXA_OK;
  });
}

VEXA_API int vexaFreeVarNames(char** varNames, int* varTypes, int numVars) {
  return Guarded(kFallbackFree, [&] {
    if (numVars < 1) return VEXA_OK;
    if (varNames) {
      for (int i = 0; i < numVars; ++i) std::free(varNames[i]);
      std::free(varNames);
    }
    std::free(varTypes);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetVarNames(int handle, int* numVars, char*** varNames,
                             int** varTypes) {
  if (numVars) *numVars = 0;
  if (varNames) *varNames = nullptr;
  if (varTypes) *varTypes = nullptr;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(numVars);
    Required(varNames);
    Required(varTypes);
    const Dictionary& dict = r.Dict();
    int count = dict.Count();
    if (count == 0) return VEXA_E_DICTIONARY;
    auto names = static_cast<char**>(std::calloc(count, sizeof(char*)));
    auto types = static_cast<int*>(std::calloc(count, sizeof(int)));
    if (names == nullptr || types == nullptr) {
      std::free(names);
      std::free(types);
      return VEXA_E_NO_MEMORY;
    }
    for (int i = 0; i < count; ++i) {
      const VEXA_Variable& var = dict.At(i);
      names[i] = static_cast<char*>(std::malloc(var.Name().size() + 1));
      if (names[i] == nullptr) {
        vexaFreeVarNames(names, types, count);
        return VEXA_E_NO_MEMORY;
      }
      CopyName(var.Name(), names[i]);
      types[i] = var.Type();
    }
    *numVars = count;
    *varNames = names;
    *varTypes = types;
    return VEXA_OK;
  });
}

VEXA_API int vexaGetVarInfo(int handle, int iVar, char* varName,
                            int* varType) {
  if (varName) varName[0] = '\0';
  if (varType) *varType = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(varName);
    Required(varType);
    if (iVar < 0 || iVar >= r.Dict().Count()) return VEXA_E_VAR_NOT_FOUND;
    const VEXA_Variable& var = r.Dict().At(iVar);
    CopyName(var.Name(), varName);
    *varType = var.Type();
    return VEXA_OK;
  });
}

VEXA_API int vexaGetVarHandle(int handle, const char* varName,
                              double* varHandle) {
  if (varHandle) *varHandle = 0.0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(varHandle);
    *varHandle = RequireVariable(r, varName) + 1.0;
    return VEXA_OK;
  });
}

VEXA_API int vexaValidateVarname(const char* varName) {
  return Guarded(VEXA_NAME_BAD_CHAR, [&] {
    const int result = ValidateVarname(varName);
    // The results are not result codes: the detail says what they mean.
    if (result != VEXA_NAME_OK) SetErrorDetail(NameProblem(varName, result));
    return result;
  });
}

VEXA_API int vexaSetVarName(int handle, const char* varName, int varType) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    Required(varName);
    bool exists = r.FindVariable(varName) >= 0;
    if (const int result = ValidateVarname(varName); result != VEXA_NAME_OK) {
      throw ApiError(VEXA_E_BAD_VAR_NAME, NameProblem(varName, result));
    }
    // The type is taken unsigned, so negative types land here too.
    if (static_cast<unsigned>(varType) > VEXA_MAX_STRING_WIDTH) {
      return VEXA_E_BAD_VAR_TYPE;
    }
    if (exists) return VEXA_E_DUPLICATE_VAR;
    VEXA_Variable var(varType);
    var.SetName(TrimBlanks(varName));
    int position = r.Dict().Add(var);
    r.AddToNameIndex(NameKey(varName), position);
    return VEXA_OK;
  });
}

}  // extern "C"
