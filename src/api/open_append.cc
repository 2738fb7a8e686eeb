// Opening an existing file to add cases. The handle is committed from the
// start: only case writing and queries are allowed.
#include <memory>
#include <string>

#include "api/call_guard.h"
#include "api/open_probe.h"
#include "api/opens.h"
#include "io/posix_file.h"
#include "sysfile/system_file_data_source.h"
#include "text/code_pages.h"
#include "text/interface_encoding.h"
#include "vexaio.h"

namespace vexa {

int OpenAppendHandle(const char* file_name, const char* password, bool utf8,
                     int* handle) {
  if (handle) *handle = -1;
  bool password_given = HasText(password);
  // A password given for a plain file is dropped, so every failure of such
  // a file is reported as it would be without one.
  return Guarded(VEXA_E_FILE_OPEN, [&] {
    Required(handle);
    std::string path = text::FileNameFromInterface(Required(file_name), utf8);
    WriterLock lock;
    bool encrypted = false;
    {
      VEXA_File file;
      if (!file.Open(path, "r+")) throw ApiError(VEXA_E_FILE_OPEN, CannotOpen(path));
      // Before the file is read: another writer may be in the middle of it.
      lock = LockForWriting(path);
      encrypted = HasEncryptedSignature(file);
    }
    if (encrypted && !password_given) return VEXA_E_NO_PASSWORD;
    std::unique_ptr<SystemFileDataSource> source =
        FailingAs(encrypted ? VEXA_E_BAD_PASSWORD : VEXA_E_FILE_OPEN, [&] {
          return SystemFileDataSource::OpenForAppending(path, encrypted ? password : "");
        });
    // Cases are added in the file's own layout and encoding: a file of the
    // other byte order, or one whose texts would need converting, cannot
    // take them.
    if (source->Header().byte_swapped ||
        !text::CompatibleEncodings(source->FileEncoding(),
                                   text::InterfaceEncodingName())) {
      return VEXA_E_CANNOT_APPEND;
    }
    OpenedReader opened;
    opened.sysfile = source.get();
    opened.source = std::move(source);
    return InstallFileHandle(std::move(opened), HandleMode::kAppend, handle, std::move(lock));
  });
}

}  // namespace vexa

extern "C" {

VEXA_API int vexaOpenAppend(const char* fileName, int* handle) {
  return vexa::OpenAppendHandle(fileName, nullptr, false, handle);
}

VEXA_API int vexaOpenAppendEx(const char* fileName, const char* password,
                              int* handle) {
  return vexa::OpenAppendHandle(fileName, password, false, handle);
}

VEXA_API int vexaOpenAppendU8(const char* fileName, int* handle) {
  return vexa::OpenAppendHandle(fileName, nullptr, true, handle);
}

VEXA_API int vexaOpenAppendU8Ex(const char* fileName, const char* password,
                                int* handle) {
  return vexa::OpenAppendHandle(fileName, password, true, handle);
}

}  // extern "C"
