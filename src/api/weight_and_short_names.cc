// The case weight variable and the 8-byte short (compatibility) names.
#include <algorithm>
#include <cstring>
#include <string>

#include "api/call_guard.h"
#include "sysfile/system_file_data_source.h"
#include "text/converter.h"
#include "text/interface_encoding.h"
#include "vexaio.h"

using namespace vexa;

namespace {
constexpr size_t kShortNameBytes = 8;
}  // namespace

extern "C" {

VEXA_API int vexaGetVarCompatName(int handle, const char* longName,
                                  char* shortName) {
  if (shortName) shortName[0] = '\0';
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(shortName);
    if (r.sysfile() == nullptr) return VEXA_E_NO_FILE_INFO;
    if (!r.header_committed()) return VEXA_E_HEADER_NOT_COMMITTED;
    const int index = RequireVariable(r, longName);
    // A converting view keeps the order of the file's variables; the file's
    // names and short names are in the file's encoding.
    const std::string& name = r.converted()
                                  ? r.sysfile()->GetDictionary().At(index).Name()
                                  : r.Dict().At(index).Name();
    std::string found;
    if (!r.sysfile()->FindShortName(name, &found)) {
      found = name.substr(0, kShortNameBytes);
    }
    if (r.converted()) {
      const bool utf8 = text::GetInterfaceMode() == text::InterfaceMode::kUtf8;
      text::Converter conv = utf8 ? text::Converter::Open(r.sysfile()->FileEncoding())
                                  : text::Converter::Current();
      conv.Convert(utf8 ? text::Direction::kToUtf8 : text::Direction::kFromUtf8,
                   shortName, kShortNameBytes + 1, found.c_str(), -1);
      return VEXA_OK;
    }
    found.resize(std::min(found.size(), kShortNameBytes));
    std::memcpy(shortName, found.c_str(), found.size() + 1);
    return VEXA_OK;
  });
}

VEXA_API int vexaSetCaseWeightVar(int handle, const char* varName) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    int index = RequireVariable(r, varName);
    if (!r.Dict().At(index).IsNumeric()) return VEXA_E_NOT_NUMERIC;
    r.Dict().SetWeightIndex(index);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetCaseWeightVar(int handle, char* varName) {
  if (varName) varName[0] = '\0';
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(varName);
    int index = r.Dict().WeightIndex();
    if (index < 0) return VEXA_W_NO_WEIGHT;
    const std::string& name = r.Dict().At(index).Name();
    std::memcpy(varName, name.c_str(), name.size() + 1);
    return VEXA_OK;
  });
}

}  // extern "C"
