// CryptFileStream: a protected file seen as the plain file inside it.
// Opening decrypts the whole file into a temporary copy, and every read,
// write and seek works on that copy; closing a copy that was written
// encrypts it into a new protected file beside the old one and renames it
// into place, so the old content stays until the new one is complete.
//
// The copy is created exclusively, readable by its owner only, in the
// process's owner-only temporary directory, and its name is removed at
// once: the plain text lives in an open descriptor only, and nothing of it
// remains on disk after the stream closes or the process ends.
#pragma once

#include <memory>
#include <string>

#include "io/file_stream.h"
#include "io/stream.h"

namespace vexa::crypt {

class CryptFileStream : public VEXA_StrBaseIO {
 public:
  CryptFileStream();
  // A stream not closed lets its copy go: the protected file keeps its old
  // content.
  ~CryptFileStream() override;

  // Mode texts as for files: "r" reads an existing protected file, "w"
  // starts a new one, "r+" or "a" change an existing one. False when the
  // file cannot be read as protected with this password (wrong password,
  // damaged or not protected) or no temporary copy can be made.
  bool Open(const std::string& path, const std::string& password, const std::string& mode);
  bool IsOpen() const { return plain_ != nullptr; }
  // Encrypts a written copy into place and lets the copy go. Raises
  // ErrorText 1002 when the new protected file cannot be written; the old
  // one is then unchanged.
  void Close();

  size_t Read(void* dest, size_t size) override { return plain_ ? plain_->Read(dest, size) : 0; }
  size_t Write(const void* src, size_t size) override {
    return plain_ ? plain_->Write(src, size) : 0;
  }
  int64_t Seek(int64_t offset, int whence) override;
  int64_t Tell() const override { return plain_ ? plain_->Tell() : 0; }
  int64_t Size() override { return plain_ ? plain_->Size() : 0; }
  void Flush() override;
  void SetBuffered(bool buffered) override;

 private:
  bool Decrypt();
  void Encrypt();
  void Release();

  std::string path_;
  std::string password_;
  bool writes_ = false;
  std::unique_ptr<VEXA_FileStream> plain_;
};

}  // namespace vexa::crypt
