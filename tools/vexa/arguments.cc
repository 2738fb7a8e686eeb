// Argument splitting shared by the subcommands that take two paths.
#include "commands.h"

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

}  // namespace vexa::tool
