// The process's temporary directories and names. One directory per base
// directory, named "vexa" and the process id, made on first use with
// owner-only permissions; the process's TMP variable points at the first
// while they exist, and all of them are removed when the library unloads.
// The base directories come from the first of VEXATMPDIR, VEXATEMPDIR, TMP
// and TEMP that is set (items separated by ";" or ","), else from TMPDIR,
// else "/tmp"; they are read when the directories are made, so
// vexaSetTempDir counts only before the first temporary name is asked for.
//
// Each directory is held open from its creation on, and everything done in
// it goes through that descriptor, so that a base directory others may
// write in cannot turn it against us: its owner and mode are checked on the
// descriptor; when "vexa<pid>" is taken by anything else than a directory
// of this user closed to others, a fresh one "vexa<pid>.XXXXXX" (random
// letters) is made instead; removing never follows a link and never
// removes a name that no longer names the directory made. Only the process
// that made the directories removes them (a forked child that ends leaves
// them to its parent). Making them also removes the empty directories that
// ended processes of this user left in the same base.
#pragma once

#include <string>
#include <string_view>

namespace vexa {

// The next process directory in turn (its path, ending in "/"), or "" when
// none could be made.
std::string NextTempDirectory();

// A name for a new temporary file: the next directory, the first 8 characters
// of `word`, "." and a process-wide counter, chosen so that no file of that
// name exists. The directory is named through its open descriptor
// ("/proc/self/fd/N/") where the system offers that. Only chosen: the caller
// creates the file (with exclusive creation). Raises SystemFileException
// kErrReopen, naming each base directory and why it could not be used, when
// there is no directory; "" when the name would be too long.
std::string TempFileName(std::string_view word);

// Removes the process directories with everything in them and restores TMP;
// a directory that cannot be removed gets an empty file "Vurt" in it, which
// the next process of the same id deletes. `final` (at unload) ends the
// state; otherwise the next request makes the directories again, from the
// base directories as the environment names them then.
void RemoveTempDirectories(bool final);

}  // namespace vexa
