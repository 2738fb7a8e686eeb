// Argument splitting and failure reports shared by the subcommands.
#include <iostream>

#include "commands.h"
#include "enum_names.h"
#include "vexaio.h"

namespace vexa::tool {

bool SplitArguments(
    const std::vector<std::string>& args, size_t paths_wanted,
    std::vector<std::string>* paths,
    const std::function<bool(const std::string&, const std::string&)>& take) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.compare(0, 2, "--") == 0 && i + 1 < args.size()) {
      if (!take(a, args[++i])) return false;
    } else if (!a.empty() && a[0] != '-') {
      paths->push_back(a);
    } else {
      return false;
    }
  }
  return paths->size() == paths_wanted;
}

int ReportFailure(const char* command, const std::string& where,
                  const std::string& what, int code) {
  char detail[512];
  if (vexaGetLastErrorDetail(detail, sizeof detail) != VEXA_OK) detail[0] = '\0';
  std::cerr << "vexa " << command << ": " << where << ": " << what
            << " failed with " << ResultCodeName(code) << " (" << code << ")"
            << (detail[0] != '\0' ? ": " : "") << detail << '\n';
  return 1;
}

}  // namespace vexa::tool
