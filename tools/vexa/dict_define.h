// Defining a new file's dictionary on a write handle from a FileSummary, as
// read from a dictionary JSON or made from a CSV header.
#pragma once

#include <string>

#include "file_summary.h"

namespace vexa::tool {

// Adds every variable with its properties, then the weight, the file label,
// the documents, the text information and the raw extension records. Members left at their "absent" values (see
// DictionaryFromJson) keep the library's defaults. Returns VEXA_OK or the
// first error code (warnings are let through); *detail then names the
// variable and the property.
int DefineDictionary(int handle, const FileSummary& dict, std::string* detail);

}  // namespace vexa::tool
