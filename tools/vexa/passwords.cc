#include "passwords.h"

#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>

#include "vexaio.h"

namespace vexa::tool {
namespace {

struct Settings {
  std::string password_file;
  bool protect = false;
  bool no_protect = false;
  bool asked = false;
  std::string password;
  std::set<std::string> protected_inputs;
};

Settings& State() {
  static Settings s;
  return s;
}

// Reads a line from the terminal with echo off; empty when there is none.
std::string AskOnTerminal() {
  std::FILE* tty = std::fopen("/dev/tty", "r+");
  if (tty == nullptr) return {};
  std::fputs("Password: ", tty);
  std::fflush(tty);
  termios saved{};
  const bool quiet = tcgetattr(fileno(tty), &saved) == 0;
  if (quiet) {
    termios silent = saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(fileno(tty), TCSAFLUSH, &silent);
  }
  char line[256] = {};
  const bool got = std::fgets(line, sizeof line, tty) != nullptr;
  if (quiet) tcsetattr(fileno(tty), TCSAFLUSH, &saved);
  std::fputs("\n", tty);
  std::fclose(tty);
  std::string text = got ? line : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

const std::string& Password() {
  Settings& s = State();
  if (s.asked) return s.password;
  s.asked = true;
  if (!s.password_file.empty()) {
    std::ifstream in(s.password_file);
    if (!std::getline(in, s.password)) {
      std::cerr << "vexa: " << s.password_file << ": no password could be read\n";
    }
    if (!s.password.empty() && s.password.back() == '\r') s.password.pop_back();
  } else if (const char* env = std::getenv("VEXA_PASSWORD")) {
    s.password = env;
  } else if (isatty(STDERR_FILENO)) {
    s.password = AskOnTerminal();
  }
  return s.password;
}

}  // namespace

void AddPasswordOption(CLI::App& app) {
  app.add_option("--password-file", State().password_file,
                 "A file whose first line is the password of protected files "
                 "(else VEXA_PASSWORD, else asked on the terminal)")
      ->type_name("FILE")
      ->check(CLI::Validator(CLI::ExistingFile).description(""));
}

void AddProtectOption(CLI::App& app) {
  app.add_flag("--protect", State().protect,
               "Protect the new file with the password (as --password-file says)");
}

void AddNoProtectOption(CLI::App& app) {
  app.add_flag("--no-protect", State().no_protect,
               "Write a protected input out unprotected")
      ->excludes("--protect");
}

bool Protecting() { return State().protect; }
bool NotProtecting() { return State().no_protect; }

bool IsProtected(const std::string& path) {
  int handle = -1;
  const int code = vexaOpenReadU8(path.c_str(), &handle);
  if (code == VEXA_OK) vexaCloseRead(handle);
  return code == VEXA_E_NO_PASSWORD;
}

int OpenRead(const std::string& path, int* handle) {
  int code = vexaOpenReadU8(path.c_str(), handle);
  if (code != VEXA_E_NO_PASSWORD) return code;
  const std::string& password = Password();
  if (password.empty()) return code;
  code = vexaOpenReadU8Ex(path.c_str(), password.c_str(), handle);
  if (code == VEXA_OK) State().protected_inputs.insert(path);
  return code;
}

int OpenWrite(const std::string& path, int* handle) {
  if (!State().protect) return vexaOpenWriteU8(path.c_str(), handle);
  return vexaOpenWriteU8Ex(path.c_str(), Password().c_str(), handle);
}

int OpenWriteCopy(const std::string& out, const std::string& in, int* handle) {
  const bool from_protected = State().protected_inputs.count(in) != 0;
  if (!State().protect && !from_protected) {
    return vexaOpenWriteCopyU8(out.c_str(), in.c_str(), handle);
  }
  const char* password = Password().c_str();
  if (State().protect) {
    return from_protected ? vexaOpenWriteCopyU8Ex(out.c_str(), password, in.c_str(), password, handle)
                          : vexaOpenWriteCopyU8ExFile(out.c_str(), password, in.c_str(), handle);
  }
  return vexaOpenWriteCopyU8ExDict(out.c_str(), in.c_str(), password, handle);
}

}  // namespace vexa::tool
