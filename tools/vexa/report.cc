// Failure reports shared by the subcommands.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "commands.h"
#include "enum_names.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

void Prefix(const char* command) {
  std::cerr << "vexa" << (*command != '\0' ? " " : "") << command << ": ";
}

}  // namespace

int ReportFailure(const char* command, const std::string& where,
                  const std::string& what, int code) {
  char detail[512];
  if (vexaGetLastErrorDetail(detail, sizeof detail) != VEXA_OK) detail[0] = '\0';
  Prefix(command);
  std::cerr << where << ": " << what << " failed: ";
  if (detail[0] != '\0') {
    std::cerr << detail << " (" << ResultCodeName(code) << ")\n";
  } else {
    std::cerr << vexaResultText(code) << '\n';
  }
  return 1;
}

int Fail(const char* command, const std::string& where, const std::string& what) {
  Prefix(command);
  std::cerr << where << ": " << what << '\n';
  return 1;
}

int WriteStdout(const char* command, std::string_view bytes) {
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
      std::fflush(stdout) != 0) {
    return Fail(command, "standard output", std::strerror(errno != 0 ? errno : EIO));
  }
  return 0;
}

}  // namespace vexa::tool
