// Protected files in the tool. A password never goes on the command line:
// it comes from the file that --password-file names (its first line), else
// from the environment variable VEXA_PASSWORD, else it is asked for on the
// terminal, once per run. --protect makes the files that import and convert
// write protected by that password; convert writes a protected input out
// unprotected only when --no-protect says so.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace vexa::tool {

void AddPasswordOption(CLI::App& app);
void AddProtectOption(CLI::App& app);
// --no-protect; REQUIRES: AddProtectOption first (the two exclude each other).
void AddNoProtectOption(CLI::App& app);
// Whether --protect, or --no-protect, was given.
bool Protecting();
bool NotProtecting();
// Whether the file at `path` is protected (opening it needs a password).
bool IsProtected(const std::string& path);

// The open calls of the tool: a protected input is opened with the
// password; a new file is protected when --protect was given.
int OpenRead(const std::string& path, int* handle);
int OpenWrite(const std::string& path, int* handle);
// A new file with the dictionary of `in` (opened before through OpenRead).
int OpenWriteCopy(const std::string& out, const std::string& in, int* handle);

}  // namespace vexa::tool
