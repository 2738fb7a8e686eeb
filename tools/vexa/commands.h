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

// Copies the file at in_path, dictionary and cases, into a new file at
// out_path (compression -1: the input's), reading and writing in the
// interface encoding of the moment. Returns an exit status; a failure
// leaves no output file.
int CopyFile(const char* command, const std::string& in_path,
             const std::string& out_path, int compression);

// Where a file whose texts go into another encoding is first written in
// UTF-8: beside `out_path`.
std::string IntermediatePath(const std::string& out_path);

// Writes the UTF-8 file at utf8_path again at out_path with its texts in
// `encoding` (a name, or a code page number as text), then removes
// utf8_path. Characters the encoding lacks become "?". The tool runs in
// UTF-8 mode again afterwards. Returns an exit status.
int Reencode(const char* command, const std::string& utf8_path,
             const std::string& out_path, const std::string& encoding);

int RunInfo(const std::vector<std::string>& args);
int RunCat(const std::vector<std::string>& args);
int RunImport(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);

}  // namespace vexa::tool
