// The checks an open call makes on a path before it creates a data source.
#pragma once

#include <string>

namespace vexa {

// Read: the file opens for reading. Write: an existing file opens for
// update, and its directory (or the new file's) takes new files, since the
// file is written beside its target; nothing is created. Append: the file
// opens for update.
bool ProbeRead(const std::string& path);
bool ProbeWrite(const std::string& path);
bool ProbeAppend(const std::string& path);

// The sentence for a path that the probe or check just made failed on,
// with the system's reason (errno): "\"a.vexa\" cannot be opened: No such
// file or directory".
std::string CannotOpen(const std::string& path);

// True when the file begins with the encrypted wrapper's signature.
bool HasEncryptedSignature(const std::string& path);

}  // namespace vexa
