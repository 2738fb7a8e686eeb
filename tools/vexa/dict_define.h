// Defining a new file's dictionary on a write handle from a FileSummary, as
// read from a dictionary JSON or made from a CSV header.
#pragma once

#include <string>
#include <vector>

#include "file_summary.h"

namespace vexa::tool {

// Adds every variable with its properties, then the file label, the
// documents, the text information and the raw extension records. Members
// left at their "absent" values (see DictionaryFromJson) keep the library's
// defaults. Stops at the first call that fails (warnings are let through)
// and returns its code, with *what naming the variable and the property, so
// that the library's error detail is still that call's; VEXA_OK otherwise.
// Texts stored shorter than given (labels cut by the library, the file
// label and document lines cut here) are said in *cut, one sentence each.
int DefineDictionary(int handle, const FileSummary& dict, std::string* what,
                     std::vector<std::string>* cut);

// One variable and its properties, as DefineDictionary adds each.
int DefineVariable(int handle, const VariableSummary& v, std::string* what,
                   std::vector<std::string>* cut);

}  // namespace vexa::tool
