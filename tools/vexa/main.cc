// vexa: the command-line tool over the library.
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "vexaio.h"

namespace {

void Usage(std::ostream& out) {
  out << "usage: vexa COMMAND [ARGS]\n"
         "commands:\n"
         "  info [--json] FILE   summary of a system file: header facts,\n"
         "                       one line per variable, documents\n"
         "  cat [--labels] [--range FIRST:LAST] [--vars a,b,c] FILE\n"
         "                       the cases as CSV; --range counts cases\n"
         "                       from 1 and includes both ends\n"
         "  import DATA.csv OUT [--dict DICT.json] [--compression C]\n"
         "         [--encoding E]\n"
         "                       a system file from CSV; the dictionary\n"
         "                       from DICT.json (as info --json prints it)\n"
         "                       or inferred from the data\n"
         "  convert IN OUT [--compression C] [--encoding E]\n"
         "                       a copy of IN, compressed as C (none or\n"
         "                       bytecode; by default as IN is)\n"
         "Texts (names, labels, values) are UTF-8 on the tool's side, whatever\n"
         "the file's encoding; --encoding writes a file's texts in another one\n"
         "(windows-1252, Shift_JIS, 1252, ...; by default UTF-8).\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(std::cerr);
    return 2;
  }
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  // Names, labels and values cross the interface as UTF-8, as the JSON and
  // CSV that the tool reads and writes hold them.
  constexpr int kUtf8Interface = 1;
  int code = vexaSetInterfaceEncoding(kUtf8Interface);
  if (code != VEXA_OK) {
    return vexa::tool::ReportFailure(command.c_str(), "interface encoding",
                                     "setting UTF-8", code);
  }
  if (command == "info") return vexa::tool::RunInfo(args);
  if (command == "cat") return vexa::tool::RunCat(args);
  if (command == "import") return vexa::tool::RunImport(args);
  if (command == "convert") return vexa::tool::RunConvert(args);
  if (command == "-h" || command == "--help" || command == "help") {
    Usage(std::cout);
    return 0;
  }
  std::cerr << "vexa: unknown command '" << command
            << "' (vexa --help lists the commands)\n";
  return 2;
}
