// Files the tool creates for itself: a new output written under a fresh
// name beside its final path and moved into place only when complete, and
// copies of input that arrives through a pipe. A temporary file is removed
// when its owner goes away, and also when the process is ended by SIGINT,
// SIGTERM, SIGHUP or SIGPIPE; nothing else is ever removed.
#pragma once

#include <signal.h>

#include <string>

namespace vexa::tool {

class TempFile {
 public:
  TempFile() = default;
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates an empty file, readable and writable by its owner only, under a
  // fresh name in `dir` made from `stem`. False, with *error in the
  // system's words, when it cannot.
  bool Create(const std::string& dir, const std::string& stem, std::string* error);
  // Gives the file the mode of the file at `target` when there is one, else
  // `new_mode` (0: the mode the umask allows a new file), and renames it
  // onto `target`; from then on it is no longer temporary. False, with
  // *error, when the rename fails.
  bool MoveTo(const std::string& target, unsigned new_mode, std::string* error);

  const std::string& path() const { return path_; }

 private:
  void Forget();

  std::string path_;
  int slot_ = -1;  // in the table of paths the signal handler removes
};

// The signals that end the process (and remove the temporary files) wait
// for the scope: the library's close puts a new file in place under a name
// of its own for a moment, which no handler of ours knows.
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
