#include "enum_names.h"

#include <string_view>

#include "vexaio.h"

namespace vexa::tool {
namespace {

// Looks `name` up in a table of names indexed by code.
template <size_t N>
bool FindName(const char* const (&names)[N], std::string_view name, int* out) {
  for (size_t i = 0; i < N; ++i) {
    if (name == names[i]) {
      *out = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

constexpr const char* kCompressionNames[] = {"none", "bytecode", "zlib"};
constexpr const char* kMeasureNames[] = {"unknown", "nominal", "ordinal",
                                         "scale",   "flag",    "typeless"};
constexpr const char* kAlignmentNames[] = {"left", "right", "center"};
constexpr const char* kRoleNames[] = {"input",     "target", "both",
                                      "none",      "partition", "split",
                                      "frequency", "record-id"};

}  // namespace

const char* ResultCodeName(int code) {
  switch (code) {
    case VEXA_OK: return "VEXA_OK";
    case VEXA_W_LABEL_TRUNCATED: return "VEXA_W_LABEL_TRUNCATED";
    case VEXA_W_VALUE_LABEL_TRUNCATED: return "VEXA_W_VALUE_LABEL_TRUNCATED";
    case VEXA_W_END_OF_DATA: return "VEXA_W_END_OF_DATA";
    case VEXA_W_NO_VARIABLE_SETS: return "VEXA_W_NO_VARIABLE_SETS";
    case VEXA_W_NO_VALUE_LABELS: return "VEXA_W_NO_VALUE_LABELS";
    case VEXA_W_NO_LABEL: return "VEXA_W_NO_LABEL";
    case VEXA_W_NO_WEIGHT: return "VEXA_W_NO_WEIGHT";
    case VEXA_W_NO_DATE_INFO: return "VEXA_W_NO_DATE_INFO";
    case VEXA_W_NO_MULT_RESP: return "VEXA_W_NO_MULT_RESP";
    case VEXA_W_NO_KVT_INFO: return "VEXA_W_NO_KVT_INFO";
    case VEXA_E_FILE_OPEN: return "VEXA_E_FILE_OPEN";
    case VEXA_E_FILE_WRITE: return "VEXA_E_FILE_WRITE";
    case VEXA_E_FILE_READ: return "VEXA_E_FILE_READ";
    case VEXA_E_TOO_MANY_FILES: return "VEXA_E_TOO_MANY_FILES";
    case VEXA_E_BAD_HANDLE: return "VEXA_E_BAD_HANDLE";
    case VEXA_E_DICTIONARY: return "VEXA_E_DICTIONARY";
    case VEXA_E_NO_MEMORY: return "VEXA_E_NO_MEMORY";
    case VEXA_E_OPENED_FOR_READ: return "VEXA_E_OPENED_FOR_READ";
    case VEXA_E_OPENED_FOR_WRITE: return "VEXA_E_OPENED_FOR_WRITE";
    case VEXA_E_BAD_VAR_NAME: return "VEXA_E_BAD_VAR_NAME";
    case VEXA_E_NO_VARIABLES: return "VEXA_E_NO_VARIABLES";
    case VEXA_E_VAR_NOT_FOUND: return "VEXA_E_VAR_NOT_FOUND";
    case VEXA_E_DUPLICATE_VAR: return "VEXA_E_DUPLICATE_VAR";
    case VEXA_E_NOT_NUMERIC: return "VEXA_E_NOT_NUMERIC";
    case VEXA_E_WRONG_TYPE: return "VEXA_E_WRONG_TYPE";
    case VEXA_E_BAD_VAR_TYPE: return "VEXA_E_BAD_VAR_TYPE";
    case VEXA_E_BAD_MISSING_VALUES: return "VEXA_E_BAD_MISSING_VALUES";
    case VEXA_E_BAD_PRINT_FORMAT: return "VEXA_E_BAD_PRINT_FORMAT";
    case VEXA_E_BAD_WRITE_FORMAT: return "VEXA_E_BAD_WRITE_FORMAT";
    case VEXA_E_BAD_DATE: return "VEXA_E_BAD_DATE";
    case VEXA_E_BAD_TIME: return "VEXA_E_BAD_TIME";
    case VEXA_E_WIDTH_MISMATCH: return "VEXA_E_WIDTH_MISMATCH";
    case VEXA_E_NO_FILE_INFO: return "VEXA_E_NO_FILE_INFO";
    case VEXA_E_HEADER_COMMITTED: return "VEXA_E_HEADER_COMMITTED";
    case VEXA_E_HEADER_NOT_COMMITTED: return "VEXA_E_HEADER_NOT_COMMITTED";
    case VEXA_E_NO_RELEASE_INFO: return "VEXA_E_NO_RELEASE_INFO";
    case VEXA_E_BAD_DATE_VARIABLES: return "VEXA_E_BAD_DATE_VARIABLES";
    case VEXA_E_VALUE_TOO_LONG: return "VEXA_E_VALUE_TOO_LONG";
    case VEXA_E_FREE_FAILED: return "VEXA_E_FREE_FAILED";
    case VEXA_E_BUFFER_TOO_SHORT: return "VEXA_E_BUFFER_TOO_SHORT";
    case VEXA_E_NO_CURRENT_CASE: return "VEXA_E_NO_CURRENT_CASE";
    case VEXA_E_CANNOT_APPEND: return "VEXA_E_CANNOT_APPEND";
    case VEXA_E_BAD_MEASURE_LEVEL: return "VEXA_E_BAD_MEASURE_LEVEL";
    case VEXA_E_BAD_EXTENSION: return "VEXA_E_BAD_EXTENSION";
    case VEXA_E_BAD_VAR_HANDLE: return "VEXA_E_BAD_VAR_HANDLE";
    case VEXA_E_BAD_ENCODING_MODE: return "VEXA_E_BAD_ENCODING_MODE";
    case VEXA_E_FILES_OPEN: return "VEXA_E_FILES_OPEN";
    case VEXA_E_BAD_MULT_RESP: return "VEXA_E_BAD_MULT_RESP";
    case VEXA_E_BAD_MULT_RESP_NAME: return "VEXA_E_BAD_MULT_RESP_NAME";
    case VEXA_E_DUPLICATE_MULT_RESP: return "VEXA_E_DUPLICATE_MULT_RESP";
    case VEXA_E_BAD_SUBTYPE: return "VEXA_E_BAD_SUBTYPE";
    case VEXA_E_BAD_ATTRIBUTE_NAME: return "VEXA_E_BAD_ATTRIBUTE_NAME";
    case VEXA_E_BAD_ATTRIBUTE_ARGS: return "VEXA_E_BAD_ATTRIBUTE_ARGS";
    case VEXA_E_BAD_MULT_RESP_INDEX: return "VEXA_E_BAD_MULT_RESP_INDEX";
    case VEXA_E_BAD_VARIABLE_SETS: return "VEXA_E_BAD_VARIABLE_SETS";
    case VEXA_E_BAD_ROLE: return "VEXA_E_BAD_ROLE";
    case VEXA_E_BAD_PASSWORD: return "VEXA_E_BAD_PASSWORD";
    case VEXA_E_NO_PASSWORD: return "VEXA_E_NO_PASSWORD";
    default: return "VEXA_E_UNKNOWN";
  }
}

const char* CompressionName(int code) {
  return code >= 0 && code <= 2 ? kCompressionNames[code] : "none";
}

const char* MeasureName(int level) {
  return level >= 0 && level <= 5 ? kMeasureNames[level] : "unknown";
}

const char* AlignmentName(int alignment) {
  return alignment >= 0 && alignment <= 2 ? kAlignmentNames[alignment]
                                          : "right";
}

const char* RoleName(int role) {
  return role >= 0 && role <= 7 ? kRoleNames[role] : "input";
}

bool CompressionFromName(std::string_view name, int* code) {
  return FindName(kCompressionNames, name, code);
}

bool MeasureFromName(std::string_view name, int* level) {
  return FindName(kMeasureNames, name, level);
}

bool AlignmentFromName(std::string_view name, int* alignment) {
  return FindName(kAlignmentNames, name, alignment);
}

bool RoleFromName(std::string_view name, int* role) {
  return FindName(kRoleNames, name, role);
}

}  // namespace vexa::tool
