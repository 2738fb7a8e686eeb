// The subcommands of the vexa tool. Each takes the arguments after its name
// and returns the process exit status.
#pragma once

#include <string>
#include <vector>

namespace vexa::tool {

int RunInfo(const std::vector<std::string>& args);
int RunCat(const std::vector<std::string>& args);
int RunImport(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);

}  // namespace vexa::tool
