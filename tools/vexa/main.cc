// vexa: the command-line tool over the library.
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"

namespace {

void Usage(std::ostream& out) {
  out << "usage: vexa COMMAND [ARGS]\n"
         "commands:\n"
         "  info [--json] FILE   summary of a system file: header facts,\n"
         "                       one line per variable, documents\n"
         "  cat [--labels] [--range FIRST:LAST] [--vars a,b,c] FILE\n"
         "                       the cases as CSV; --range counts cases\n"
         "                       from 1 and includes both ends\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(std::cerr);
    return 2;
  }
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "info") return vexa::tool::RunInfo(args);
  if (command == "cat") return vexa::tool::RunCat(args);
  if (command == "-h" || command == "--help" || command == "help") {
    Usage(std::cout);
    return 0;
  }
  std::cerr << "vexa: unknown command '" << command << "'\n";
  Usage(std::cerr);
  return 2;
}
