// The subcommands of the vexa tool. Each takes the arguments after its name
// and returns the process exit status.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vexa::tool {

// Splits a subcommand's arguments into exactly `paths_wanted` paths and
// "--name value" options; `take(name, value)` receives each option and says
// whether it is known and valid. False for anything else.
bool SplitArguments(
    const std::vector<std::string>& args, size_t paths_wanted,
    std::vector<std::string>* paths,
    const std::function<bool(const std::string&, const std::string&)>& take);

int RunInfo(const std::vector<std::string>& args);
int RunCat(const std::vector<std::string>& args);
int RunImport(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);

}  // namespace vexa::tool
