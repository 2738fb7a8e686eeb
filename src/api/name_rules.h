// The name check behind vexaValidateVarname, for the calls that take names.
// Its results (VEXA_NAME_*) are not result codes: a call that refuses a
// name says why in a sentence of its own, never through the table of codes.
#pragma once

#include <string>

namespace vexa {

// The VEXA_NAME_* result for a caller's name (blanks around it ignored).
int ValidateVarname(const char* name);

// "the name "x" <what is wrong with it>" for a result other than
// VEXA_NAME_OK.
std::string NameProblem(const char* name, int result);

}  // namespace vexa
