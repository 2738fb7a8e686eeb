// vexa: the command-line tool over the library.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <exception>
#include <memory>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "scratch_file.h"
#include "vexaio.h"

namespace {

std::string VersionText() {
  int major = 0, minor = 0, patch = 0;
  vexaGetLibraryVersion(&major, &minor, &patch);
  return "vexa " + std::to_string(VEXA_VERSION_MAJOR) + "." +
         std::to_string(VEXA_VERSION_MINOR) + "." + std::to_string(VEXA_VERSION_PATCH) +
         " (library " + std::to_string(major) + "." + std::to_string(minor) + "." +
         std::to_string(patch) + ")";
}

// One line on stderr naming the command and what was wrong with its
// arguments: the first unknown option or surplus argument, or the parser's
// sentence about a missing or invalid one. Returns 2.
int ReportUsageError(const CLI::App& vexa, const std::vector<vexa::tool::Command>& commands,
                     const CLI::ParseError& e) {
  const CLI::App* app = &vexa;
  for (const vexa::tool::Command& c : commands) {
    if (c.app->parsed()) app = c.app;
  }
  const std::string name = app == &vexa ? "vexa" : "vexa " + app->get_name();
  std::string what = e.what();
  const std::vector<std::string> given = app->remaining();
  if (app == &vexa && !given.empty() && given.front()[0] != '-') {
    what = given.front() + ": unknown command";
  } else if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
    auto option = std::find_if(given.begin(), given.end(),
                               [](const std::string& a) { return a.size() > 1 && a[0] == '-'; });
    if (option != given.end()) {
      what = *option + ": unknown option";
    } else if (!given.empty()) {
      what = given.front() + ": unexpected argument";
    }
  }
  std::cerr << name << ": " << what << " (see " << name << " --help)\n";
  return 2;
}

// Help that shows each option as the README writes it: its name and the
// form of its value, without the parser's notes on types, checks, counts
// and exclusions.
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_option_opts(const CLI::Option* opt) const override {
    if (opt->get_positional() || opt->get_type_size() == 0) return "";
    return " " + opt->get_type_name();
  }
};

int Run(int argc, char** argv) {
  CLI::App vexa(
      "vexa: system files (.vexa) from the command line.\n"
      "Texts (names, labels, values) are UTF-8 on the tool's side, whatever the\n"
      "file's encoding. A path \"-\" reads standard input.",
      "vexa");
  vexa.formatter(std::make_shared<HelpFormatter>());
  vexa.set_version_flag("--version", VersionText(), "Print the tool's and the library's version");
  vexa.require_subcommand(1);
  const std::vector<vexa::tool::Command> commands = {
      vexa::tool::AddInfoCommand(vexa), vexa::tool::AddCatCommand(vexa),
      vexa::tool::AddImportCommand(vexa), vexa::tool::AddConvertCommand(vexa)};
  try {
    vexa.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return vexa.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    return ReportUsageError(vexa, commands, e);
  }
  vexa::tool::IgnoreFileSizeSignal();
  // Names, labels and values cross the interface as UTF-8, as the JSON and
  // CSV that the tool reads and writes hold them.
  constexpr int kUtf8Interface = 1;
  const int code = vexaSetInterfaceEncoding(kUtf8Interface);
  if (code != VEXA_OK) {
    return vexa::tool::ReportFailure("", "interface encoding", "setting UTF-8", code);
  }
  for (const vexa::tool::Command& c : commands) {
    if (c.app->parsed()) return c.run();
  }
  return 2;
}

}  // namespace

// Whatever a command lets escape (memory running out, say) ends the run with
// a message and status 1 rather than an abort.
int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    return vexa::tool::Fail("", "stopped", e.what());
  }
}
