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

// Reports a failed library call on stderr as one line,
//   vexa COMMAND: WHERE: WHAT failed with VEXA_E_NAME (N): DETAIL
// the detail being the library's sentence about the call. Call it before
// any other library call, which would replace that sentence. Returns 1, the
// exit status of such a failure.
int ReportFailure(const char* command, const std::string& where,
                  const std::string& what, int code);

int RunInfo(const std::vector<std::string>& args);
int RunCat(const std::vector<std::string>& args);
int RunImport(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);

}  // namespace vexa::tool
