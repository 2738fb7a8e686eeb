// The checks an open call makes on a path before it creates a data source.
#pragma once

#include <string>

#include "io/posix_file.h"

namespace vexa {

// Whether a file may be written: an existing file opens for update, and
// its directory (or the new file's) takes new files, since the file is
// written beside its target; nothing is created. (The read and append
// opens open the file itself instead.)
bool ProbeWrite(const std::string& path);

// The sentence for a path that the probe or open just made failed on,
// with the system's reason (errno): "\"a.vexa\" cannot be opened: No such
// file or directory".
std::string CannotOpen(const std::string& path);

// True when the open file begins with the encrypted wrapper's signature.
bool HasEncryptedSignature(VEXA_File& file);

}  // namespace vexa
