// Opening files for reading, and the three close calls.
#include <exception>
#include <memory>
#include <string>

#include "api/call_guard.h"
#include "api/open_probe.h"
#include "api/opens.h"
#include "io/posix_file.h"
#include "sysfile/system_file_data_source.h"
#include "text/interface_encoding.h"
#include "vexaio.h"

namespace vexa {
namespace {

// Creates the data source of a read handle, in the interface encoding. A
// failure here is 1, or 80 when a password was given: a wrong password
// surfaces this way. Exhausted memory stays VEXA_E_NO_MEMORY.
OpenedReader CreateReader(const std::string& path, const std::string& password) {
  return FailingAs(password.empty() ? VEXA_E_FILE_OPEN : VEXA_E_BAD_PASSWORD, [&] {
    return OpenReaderInInterfaceEncoding(path, OpenWarningReceiver(), password);
  });
}

// A file that could not be finished is reported: VEXA_E_FILE_WRITE (or
// VEXA_E_NO_MEMORY), and the file is as it was before the handle wrote.
int Close(int handle) {
  return Guarded(kFallbackHandle, [&] {
    std::exception_ptr failure;
    const int code = HandleTable::Instance().Release(handle, &failure);
    if (failure) FailingAs(VEXA_E_FILE_WRITE, [&] { std::rethrow_exception(failure); });
    return code;
  });
}

int Abandon(int handle) {
  return Guarded(kFallbackHandle, [&] { return HandleTable::Instance().Abandon(handle); });
}

}  // namespace

int OpenReadHandle(const char* file_name, const char* password, bool utf8,
                   int* handle) {
  if (handle) *handle = -1;
  bool password_given = HasText(password);
  // A password given for a plain file is dropped, so every failure of such
  // a file is reported as it would be without one.
  return Guarded(VEXA_E_FILE_OPEN, [&] {
    Required(handle);
    std::string path = text::FileNameFromInterface(Required(file_name), utf8);
    // The one look before the reader's: whether the file opens, and its
    // signature.
    bool encrypted = false;
    {
      VEXA_File file;
      if (!file.Open(path, "r")) throw ApiError(VEXA_E_FILE_OPEN, CannotOpen(path));
      encrypted = HasEncryptedSignature(file);
    }
    if (encrypted) {
      if (!password_given) return VEXA_E_NO_PASSWORD;
      return InstallFileHandle(CreateReader(path, password), HandleMode::kRead, handle);
    }
    // A password given for a plain file is ignored.
    return InstallFileHandle(CreateReader(path, {}), HandleMode::kRead, handle);
  });
}

int InstallFileHandle(OpenedReader opened, HandleMode mode, int* handle, WriterLock lock) {
  auto record = std::make_unique<HandleRecord>(
      mode, std::move(opened.source), opened.sysfile, opened.converted);
  record->HoldWriterLock(std::move(lock));
  record->BuildVariableDirectory();
  HandleRecord* r = record.get();
  int slot = -1;
  Check(HandleTable::Instance().Allocate(std::move(record), &slot));
  ScopedSlot taken(slot);
  int code = VEXA_E_NO_MEMORY;
  try {
    if (!r->BuildNameIndex()) {
      code = VEXA_E_DICTIONARY;
    } else if (mode != HandleMode::kRead || r->CreateCaseIterator()) {
      code = VEXA_OK;
    }
    // else: a case of no slots, among others, cannot be read.
  } catch (const std::exception& e) {
    // The iterator could not be set up over the file's case data.
    SetErrorDetail(DescribeException(e));
  }
  if (code == VEXA_OK) *handle = taken.Keep();
  return code;
}

}  // namespace vexa

using vexa::Abandon;
using vexa::Close;
using vexa::OpenReadHandle;

extern "C" {

VEXA_API int vexaOpenRead(const char* fileName, int* handle) {
  return OpenReadHandle(fileName, nullptr, false, handle);
}

VEXA_API int vexaOpenReadEx(const char* fileName, const char* password,
                            int* handle) {
  return OpenReadHandle(fileName, password, false, handle);
}

VEXA_API int vexaOpenReadU8(const char* fileName, int* handle) {
  return OpenReadHandle(fileName, nullptr, true, handle);
}

VEXA_API int vexaOpenReadU8Ex(const char* fileName, const char* password,
                              int* handle) {
  return OpenReadHandle(fileName, password, true, handle);
}

VEXA_API int vexaCloseRead(int handle) { return Close(handle); }
VEXA_API int vexaCloseWrite(int handle) { return Close(handle); }
VEXA_API int vexaCloseAppend(int handle) { return Close(handle); }

VEXA_API int vexaAbandonFile(int handle) { return Abandon(handle); }

}  // extern "C"
