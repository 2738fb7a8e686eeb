// The subcommands of the vexa tool. Each registers itself on the program's
// command line (its options, their checks and its help) and hands back how
// to run it once the line is parsed.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace CLI {
class App;
}

namespace vexa::tool {

// A registered subcommand: its parser, and what runs it (returning the
// process exit status) when it was the one given.
struct Command {
  CLI::App* app = nullptr;
  std::function<int()> run;
};

Command AddInfoCommand(CLI::App& vexa);
Command AddCatCommand(CLI::App& vexa);
Command AddImportCommand(CLI::App& vexa);
Command AddConvertCommand(CLI::App& vexa);

// The options that name the new file's compression (as a header code) and
// the encoding of its texts, and the one that lets it replace a file.
void AddCompressionOption(CLI::App& app, int* compression, const std::string& help);
void AddEncodingOption(CLI::App& app, std::string* encoding);
void AddForceOption(CLI::App& app, bool* force);

// Reports a failed library call on stderr as one line,
//   vexa COMMAND: WHERE: WHAT failed: DETAIL
// the detail being the library's sentence about the call (or, when it has
// none, the text of the result code). Call it before any other library
// call, which would replace that sentence. Returns 1, the exit status of
// such a failure.
int ReportFailure(const char* command, const std::string& where,
                  const std::string& what, int code);

// Reports a failure that is not a library call's: "vexa COMMAND: WHERE: WHAT".
// Returns 1.
int Fail(const char* command, const std::string& where, const std::string& what);

// Writes `bytes` to standard output and flushes it; a failure is reported
// in the system's words. Returns an exit status.
int WriteStdout(const char* command, std::string_view bytes);

}  // namespace vexa::tool
