// CryptFileStream: a protected file seen as the plain file inside it. The
// stream is a file stream over the protected file itself, seen through its
// cipher (StatCrypt): a read decrypts only the blocks that hold the bytes
// read, a write encrypts the blocks it changes in place, and the last block
// with its padding is written when the stream closes (or the file is
// synced or committed). No plain copy is ever made, on disk or in memory; the stream's
// buffers are wiped when they go.
#pragma once

#include <string>

#include "io/file_stream.h"

namespace vexa::crypt {

class CryptFileStream : public VEXA_FileStream {
 public:
  CryptFileStream() = default;

  // Mode texts as for files: "r" reads an existing protected file, "r+"
  // or "a" change one, "w" makes a new one in place (its header is written
  // at once). Raises ErrorText kErrBadPassword when the file cannot be read
  // as protected with this password (wrong password, damaged or not
  // protected), kErrReopen when it cannot be opened, and the read's own
  // failure.
  void Open(const std::string& path, const std::string& password, const std::string& mode);
  // Makes the empty file just opened in this stream (the new file of a
  // ReplacementFile) a protected file under `password`: its header is
  // written, and everything written from now on is encrypted. Raises
  // ErrorText kErrWriteFailed.
  void Protect(const std::string& password);
};

}  // namespace vexa::crypt
