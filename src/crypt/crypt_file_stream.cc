#include "crypt/crypt_file_stream.h"

#include <algorithm>

#include "crypt/cipher.h"
#include "crypt/protected_header.h"
#include "crypt/stat_crypt.h"
#include "io/open_mode.h"
#include "io/posix_file.h"
#include "io/replacement_file.h"
#include "io/temp_directories.h"
#include "io/zlib_stream.h"
#include "support/errors.h"

namespace vexa::crypt {
namespace {

// The cores that encrypt and decrypt: those the zlib stream uses.
int Threads() { return std::max(1, zcmpsFilestr::WorkerCount()); }

}  // namespace

CryptFileStream::~CryptFileStream() { Forget(); }

bool CryptFileStream::Open(const std::string& path, const std::string& password,
                           const std::string& mode) {
  Forget();
  VEXA_FileStream::Close();
  protected_path_ = path;
  password_ = password;
  const OpenMode form = ParseOpenMode(mode);
  if (!form.valid) return false;
  writes_ = form.writes;
  // What the protected file holds is decrypted unless the mode truncates.
  const bool reads = form.KeepsContents();
  const std::string name = TempFileName("decrypt");
  if (name.empty()) return false;
  // Without a name where the system allows, so that not even a process
  // killed at once leaves the plain text behind; else its name goes at once.
  if (!VEXA_FileStream::Open(name, "w+ux")) {
    if (!VEXA_FileStream::Open(name, "w+x")) return false;
    if (!RemoveFile(name)) {
      // Plain text never goes into a copy that keeps its name.
      VEXA_FileStream::Close();
      RemoveFile(name);
      return false;
    }
  }
  if (reads && !Decrypt()) {
    Forget();
    VEXA_FileStream::Close();
    return false;
  }
  return true;
}

bool CryptFileStream::Decrypt() {
  try {
    VEXA_FileStream file(512);
    if (!file.Open(protected_path_, "r") || !ReadProtectedHeader(file)) return false;
    if (DecryptFile(password_, Use(file.SharedFile()), file.Tell(), Use(SharedFile()),
                    Threads()) == 0) {
      return false;
    }
    if (!writes_) FitBufferToFile();
    if (!LooksLikePlainFile(*this)) {
      return false;
    }
    Seek(0, SEEK_SET);
    return true;
  } catch (const std::exception&) {
    return false;  // unreadable: the data source tells why
  }
}

void CryptFileStream::Close() {
  if (!IsOpen()) return;
  if (writes_) Encrypt();
  Forget();
  VEXA_FileStream::Close();
}

void CryptFileStream::Encrypt() {
  Flush();
  // Beside the old file, with no name until it is complete.
  ReplacementFile replacement;
  VEXA_FileStream out(512);
  replacement.Create(protected_path_, out);
  const std::string header = ProtectedHeader();
  VEXA_File& file = Use(out.SharedFile());
  file.WriteAt(header.data(), header.size(), 0);
  if (EncryptFile(password_, Use(SharedFile()), file, static_cast<int64_t>(header.size()),
                  Threads()) == 0) {
    throw ErrorText(kErrWriteFailed, protected_path_);
  }
  replacement.Finish(out);
  out.Close();
  replacement.Replace();
}

void CryptFileStream::Forget() {
  Cleanse(password_.data(), password_.size());
  password_.clear();
}

}  // namespace vexa::crypt
