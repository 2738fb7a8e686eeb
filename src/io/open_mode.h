// The fopen-style mode texts with which files and streams are opened:
// "+" with "w" reads and writes, creating and truncating; "+" with "a"
// reads and writes, appending and creating; "+" alone reads and writes; "r"
// reads; "w" writes, creating and truncating; "a" writes, appending and
// creating. "t" and "T" change nothing, "D" removes the file when it is
// closed, "x" creates a new file only (failing when the name exists) with
// owner-only permissions, "n" a new file only with the permissions any
// created file gets, "u" (with "w+") a new file without a name in the
// directory of the path (owner-only with "x"). Append modes start at the
// end of the file.
#pragma once

#include <string_view>

namespace vexa {

struct OpenMode {
  bool valid = false;  // one of the forms above
  bool reads = false;
  bool writes = false;
  bool create = false;
  bool truncate = false;
  bool append = false;  // starts at the end of the file
  bool delete_on_close = false;
  bool exclusive = false;  // owner-only permissions
  bool new_only = false;   // fails when the name exists
  bool unnamed = false;    // a file without a name in the path's directory

  // Whether what the file holds is kept: an existing file opened without
  // truncation.
  bool KeepsContents() const { return valid && !truncate; }
};

OpenMode ParseOpenMode(std::string_view mode);

}  // namespace vexa
