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

// Indexed by VEXA_COMPRESSION_NONE, _BYTECODE and _ZLIB.
constexpr const char* kCompressionNames[] = {"none", "bytecode", "zlib"};
constexpr const char* kMeasureNames[] = {"unknown", "nominal", "ordinal",
                                         "scale",   "flag",    "typeless"};
constexpr const char* kAlignmentNames[] = {"left", "right", "center"};
constexpr const char* kRoleNames[] = {"input",     "target", "both",
                                      "none",      "partition", "split",
                                      "frequency", "record-id"};

}  // namespace

std::string_view ResultCodeName(int code) {
  std::string_view text = vexaResultText(code);
  return text.substr(0, text.find(':'));
}

const char* CompressionName(int code) {
  return code >= VEXA_COMPRESSION_NONE && code <= VEXA_COMPRESSION_ZLIB
             ? kCompressionNames[code]
             : "none";
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
