#include "crypt/crypt_file_stream.h"

#include "crypt/cipher.h"
#include "crypt/protected_header.h"
#include "crypt/stat_crypt.h"
#include "io/open_mode.h"
#include "io/posix_file.h"
#include "support/errors.h"

namespace vexa::crypt {

void CryptFileStream::Open(const std::string& path, const std::string& password,
                           const std::string& mode) {
  VEXA_FileStream::Close();
  const OpenMode form = ParseOpenMode(mode);
  // Blocks that a write covers in part are read back: a protected file is
  // always read too.
  if (!form.valid || !VEXA_FileStream::Open(path, form.reads ? mode : mode + "+")) {
    throw ErrorText(kErrReopen, path);
  }
  try {
    if (!form.KeepsContents()) {
      Protect(password);
      return;
    }
    VEXA_File& file = Use(SharedFile());
    char head[kProtectedHeaderBytes];
    const bool protected_file = file.ReadAt(head, sizeof head, 0) == sizeof head &&
                                IsProtectedHeader(std::string_view(head, sizeof head));
    // Not protected, damaged, or a wrong password: each looks the same.
    std::shared_ptr<StatCrypt> crypt = protected_file ? StatCrypt::Make(password) : nullptr;
    if (!crypt || !SeeThrough(crypt, false)) throw ErrorText(kErrBadPassword, path);
    char plain[80];
    const size_t got = file.ReadAt(plain, sizeof plain, 0);
    const bool looks_plain = LooksLikePlainFile(std::string_view(plain, got));
    Cleanse(plain, sizeof plain);
    if (!looks_plain) throw ErrorText(kErrBadPassword, path);
  } catch (...) {
    VEXA_FileStream::Close();
    throw;
  }
}

void CryptFileStream::Protect(const std::string& password) {
  std::shared_ptr<StatCrypt> crypt = StatCrypt::Make(password);
  if (!crypt || !IsOpen()) throw ErrorText(kErrWriteFailed, Path());
  const std::string header = ProtectedHeader();
  Use(SharedFile()).WriteAt(header.data(), header.size(), 0);
  if (!SeeThrough(std::move(crypt), true)) throw ErrorText(kErrWriteFailed, Path());
}

}  // namespace vexa::crypt
