#include "crypt/crypt_file_stream.h"

#include "crypt/cipher.h"
#include "crypt/protected_header.h"
#include "crypt/stat_crypt.h"
#include "io/posix_file.h"
#include "io/temp_directories.h"
#include "support/errors.h"

namespace vexa::crypt {
namespace {

bool Has(const std::string& mode, char c) { return mode.find(c) != std::string::npos; }

}  // namespace

CryptFileStream::CryptFileStream() = default;

CryptFileStream::~CryptFileStream() { Release(); }

bool CryptFileStream::Open(const std::string& path, const std::string& password,
                           const std::string& mode) {
  Release();
  path_ = path;
  password_ = password;
  writes_ = Has(mode, 'w') || Has(mode, 'a') || Has(mode, '+');
  const bool reads = Has(mode, 'r') || Has(mode, 'a');
  if (!reads && !Has(mode, 'w')) return false;
  const std::string name = TempFileName("decrypt");
  if (name.empty()) return false;
  plain_ = std::make_unique<VEXA_FileStream>();
  if (!plain_->Open(name, "w+x")) {
    plain_.reset();
    return false;
  }
  RemoveFile(name);
  if (reads && !Decrypt()) {
    Release();
    return false;
  }
  return true;
}

bool CryptFileStream::Decrypt() {
  try {
    VEXA_FileStream file;
    if (!file.Open(path_, "r") || !ReadProtectedHeader(file)) return false;
    if (DecryptStream(password_, file, *plain_) == 0) return false;
    plain_->Flush();
    if (!LooksLikePlainFile(*plain_)) return false;
    plain_->Seek(0, 0);
    return true;
  } catch (const std::exception&) {
    return false;  // unreadable: the data source tells why
  }
}

void CryptFileStream::Close() {
  if (!plain_) return;
  if (writes_) Encrypt();
  Release();
}

void CryptFileStream::Encrypt() {
  plain_->Flush();
  plain_->Seek(0, 0);
  // Beside the old file, under a name nobody else holds.
  std::string beside;
  VEXA_FileStream out;
  for (int attempt = 0; attempt < 100 && beside.empty(); ++attempt) {
    const std::string name = path_ + ".new" + std::to_string(attempt);
    if (out.Open(name, "w+x")) beside = name;
  }
  if (beside.empty()) throw ErrorText(kErrWriteFailed, path_);
  try {
    const std::string header = ProtectedHeader();
    out.Write(header.data(), header.size());
    if (EncryptStream(password_, *plain_, out) == 0) throw ErrorText(kErrWriteFailed, path_);
    out.Close();
    VEXA_File written;
    if (!written.Open(beside, "r+") || !written.Sync()) throw ErrorText(kErrWriteFailed, path_);
    written.Close();
    if (!RenameFile(beside, path_)) throw ErrorText(kErrWriteFailed, path_);
  } catch (...) {
    try {
      out.Close();
    } catch (const std::exception&) {  // the first failure is the one to report
    }
    RemoveFile(beside);
    throw;
  }
}

void CryptFileStream::Release() {
  Cleanse(password_.data(), password_.size());
  password_.clear();
  plain_.reset();
}

int64_t CryptFileStream::Seek(int64_t offset, int whence) {
  return plain_ ? plain_->Seek(offset, whence) : -1;
}

void CryptFileStream::Flush() {
  if (plain_) plain_->Flush();
}

void CryptFileStream::SetBuffered(bool buffered) {
  if (plain_) plain_->SetBuffered(buffered);
}

}  // namespace vexa::crypt
