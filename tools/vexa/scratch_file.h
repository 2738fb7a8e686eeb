// Files the tool keeps for itself while it runs: a copy of input that
// arrives through a pipe, and a file written in UTF-8 on the way to another
// encoding. A scratch file is removed when its owner goes away, and also
// when the process is ended by SIGINT, SIGTERM, SIGHUP or SIGPIPE. The files
// the tool writes for the user are the library's to put in place.
#pragma once

#include <signal.h>

#include <string>

namespace vexa::tool {

class ScratchFile {
 public:
  ScratchFile() = default;
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Creates an empty file, readable and writable by its owner only, under a
  // fresh name made from `stem` in the temporary directory. False, with
  // *error in the system's words, when it cannot.
  bool Create(const std::string& stem, std::string* error);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int slot_ = -1;  // in the table of paths the signal handler removes
};

// The signals that end the process (and remove the scratch files) wait for
// the scope: the library's close puts a new file in place under a name of
// its own for a moment, which no handler of ours knows.
class HeldSignals {
 public:
  HeldSignals();
  ~HeldSignals();
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
  sigset_t saved_;
};

// A size limit (ulimit -f) makes a write fail instead of ending the
// process, so that the failure is reported and nothing is left behind.
void IgnoreFileSizeSignal();

}  // namespace vexa::tool
