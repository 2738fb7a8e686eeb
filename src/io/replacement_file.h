// ReplacementFile: a new file written beside the file it replaces and put
// in its place in one step when complete, so that the old file stays whole
// until then. Where the system allows it the new file has no name until it
// is complete, so that a process that ends before leaves nothing behind;
// else it has a hidden name of its own beside the target from the start,
// created readable by its owner only. Before it has a name anyone could
// open, it is given the target's owner (where this user may), permission
// bits, access control list and other extended attributes. After the
// rename the directory is flushed, so that the new name survives a power
// loss.
#pragma once

#include <string>

#include "io/file_stream.h"

namespace vexa {

class ReplacementFile {
 public:
  ReplacementFile() = default;
  // Removes a new file that was named but never put in place.
  ~ReplacementFile() { Drop(); }
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Opens the new file for `path` in `stream` (read and write). The file
  // replaced is the one a symbolic link at `path` points at, else `path`.
  // Raises ErrorText kErrWriteFailed naming `path` when no new file can be
  // made.
  void Create(const std::string& path, VEXA_FileStream& stream);
  // For the complete file: writes out the stream (and the last block of a
  // protected file), makes the file durable when
  // it replaces one (a file new under its name has nothing to lose) and names
  // an unnamed one beside the target. Raises ErrorText kErrWriteFailed.
  void Finish(VEXA_StrBaseIO& stream);
  // Renames the finished file over the target (the stream may be closed first)
  // and flushes the directory. Raises ErrorText kErrWriteFailed when the rename
  // fails; the old file then stays.
  void Replace();
  // Removes the new file's name, if it has one: an unnamed file goes with
  // its descriptor.
  void Drop();
  // Whether a new file is being written.
  bool Active() const { return unnamed_ || !beside_.empty(); }

 private:
  std::string path_;    // as given, for errors
  std::string target_;  // the file replaced
  std::string beside_;  // the new file's name, once it has one
  bool unnamed_ = false;
};

}  // namespace vexa
