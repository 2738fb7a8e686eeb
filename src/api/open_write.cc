// Opening new files for writing. The handle starts with an empty dictionary;
// the file itself is created only at the header commit.
#include <cstring>
#include <memory>
#include <string>

#include "api/call_guard.h"
#include "api/open_probe.h"
#include "api/opens.h"
#include "support/errors.h"
#include "sysfile/system_file_data_source.h"
#include "text/interface_encoding.h"
#include "vexaio.h"

namespace vexa {

namespace {
constexpr size_t kMaxPasswordBytes = 10;
}  // namespace

int CheckNewPassword(const char* password) {
  if (!HasText(password)) return VEXA_E_NO_PASSWORD;
  if (std::strlen(password) > kMaxPasswordBytes) return VEXA_E_BAD_PASSWORD;
  return VEXA_OK;
}

WriterLock LockForWriting(const std::string& path) {
  WriterLock lock;
  if (!lock.Take(path)) {
    throw ApiError(VEXA_E_FILE_OPEN,
                   Sentence("another handle or process is writing {}", Quoted{path}));
  }
  return lock;
}

int OpenWriteHandle(const char* file_name, bool utf8, int* handle, const char* password) {
  if (handle) *handle = -1;
  return Guarded(VEXA_E_FILE_OPEN, [&] {
    Required(handle);
    if (password != nullptr) Check(CheckNewPassword(password));
    std::string path = text::FileNameFromInterface(Required(file_name), utf8);
    if (!ProbeWrite(path)) return VEXA_E_FILE_OPEN;
    WriterLock lock = LockForWriting(path);
    std::unique_ptr<SystemFileDataSource> writer =
        SystemFileDataSource::CreateForWriting(path, password ? password : "");
    writer->MutableHeader().product = kWriteProductText;
    SystemFileDataSource* sysfile = writer.get();
    auto record = std::make_unique<HandleRecord>(HandleMode::kWrite,
                                                 std::move(writer), sysfile);
    record->HoldWriterLock(std::move(lock));
    return HandleTable::Instance().Allocate(std::move(record), handle);
  });
}

}  // namespace vexa

extern "C" {

VEXA_API int vexaOpenWrite(const char* fileName, int* handle) {
  return vexa::OpenWriteHandle(fileName, false, handle);
}

VEXA_API int vexaOpenWriteU8(const char* fileName, int* handle) {
  return vexa::OpenWriteHandle(fileName, true, handle);
}

VEXA_API int vexaOpenWriteEx(const char* fileName, const char* password,
                             int* handle) {
  return vexa::OpenWriteHandle(fileName, false, handle, password ? password : "");
}

VEXA_API int vexaOpenWriteU8Ex(const char* fileName, const char* password,
                               int* handle) {
  return vexa::OpenWriteHandle(fileName, true, handle, password ? password : "");
}

}  // extern "C"
