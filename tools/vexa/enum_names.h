// The names under which the tool prints result codes and the enumerated
// properties of a file and its variables, and the way back from a name.
#pragma once

#include <string_view>

namespace vexa::tool {

// "VEXA_E_FILE_OPEN" and so on for every code of the public header, as the
// library names it (vexaResultText); "unknown" for any other number.
std::string_view ResultCodeName(int code);

// Header compression code: "none", "bytecode", "zlib".
const char* CompressionName(int code);
// "unknown", "nominal", "ordinal", "scale", "flag", "typeless".
const char* MeasureName(int level);
// "left", "right", "center".
const char* AlignmentName(int alignment);
// "input", "target", "both", "none", "partition", "split", "frequency",
// "record-id".
const char* RoleName(int role);

// The inverses: false for a name that the functions above never print.
bool CompressionFromName(std::string_view name, int* code);
bool MeasureFromName(std::string_view name, int* level);
bool AlignmentFromName(std::string_view name, int* alignment);
bool RoleFromName(std::string_view name, int* role);

}  // namespace vexa::tool
