// The paths a command is given: inputs made into files the library can open,
// and the checks an output path passes before anything is written.
#pragma once

#include <string>

#include "scratch_file.h"

namespace vexa::tool {

// Why a new file may not be written at `path`, or "" when it may: an
// existing path that is not a regular file (a directory, a FIFO, a device,
// a symbolic link) is refused always; an existing file, or a name that does not end in
// `extension`, only without `force`.
std::string OutputRefusal(const std::string& path, const std::string& extension, bool force);

// An input given by path: the file itself when it is a regular one, else
// (standard input for "-", a pipe, a device) its bytes read once into a
// scratch file that lives as long as this object.
class InputFile {
 public:
  // False, with *error in words ("No such file or directory", "Is a
  // directory"), when the input cannot be read.
  bool Open(const std::string& path, std::string* error);
  // What to open: the original path or the copy.
  const std::string& path() const { return copy_.path().empty() ? path_ : copy_.path(); }
  // For messages: the path as given, "standard input" for "-".
  std::string name() const { return path_ == "-" || path_ == "/dev/stdin" ? "standard input" : path_; }
  // The permission bits of an input file that only its owner may use, for
  // a new output made from it; 0 for any other input.
  unsigned OwnerOnlyMode() const { return owner_only_mode_; }

 private:
  std::string path_;
  ScratchFile copy_;
  unsigned owner_only_mode_ = 0;
};

}  // namespace vexa::tool
