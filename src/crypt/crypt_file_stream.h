// CryptFileStream: a protected file seen as the plain file inside it. The
// stream itself is a file stream on a temporary copy: opening decrypts the
// whole protected file into it, and every read, write and seek works on the
// copy; closing a copy that was written encrypts it into a new protected
// file beside the old one and renames it into place, so the old content
// stays until the new one is complete.
//
// The copy is created exclusively, readable by its owner only, in the
// process's owner-only temporary directory, and its name is removed at
// once: the plain text lives in an open descriptor only, and nothing of it
// remains on disk after the stream closes or the process ends.
#pragma once

#include <string>

#include "io/file_stream.h"

namespace vexa::crypt {

class CryptFileStream : public VEXA_FileStream {
 public:
  CryptFileStream() = default;
  // A stream not closed lets its copy go: the protected file keeps its old
  // content.
  ~CryptFileStream() override;

  // Mode texts as for files: "r" reads an existing protected file, "w"
  // starts a new one, "r+" or "a" change an existing one. Raises ErrorText
  // kErrBadPassword when the file cannot be read as protected with this password
  // (wrong password, damaged or not protected), kErrReopen when it cannot be
  // opened or no temporary copy can be made, and the read's own failure.
  void Open(const std::string& path, const std::string& password, const std::string& mode);
  // Encrypts a written copy into place and lets the copy go. Raises
  // ErrorText kErrWriteFailed when the new protected file cannot be written; the old
  // one is then unchanged.
  void Close() override;

 private:
  void Decrypt();
  void Encrypt();
  void Forget();

  std::string protected_path_;
  std::string password_;
  bool writes_ = false;
};

}  // namespace vexa::crypt
