// Opening a new file that starts with the dictionary of another file. The
// new handle is a write handle before its header commit: the caller may
// change the copied dictionary, then commits it.
#include <string>

#include "api/call_guard.h"
#include "api/opens.h"
#include "sysfile/system_file_data_source.h"
#include "vexaio.h"

namespace vexa {
namespace {

// new_password is null for the calls that write a plain file.
int OpenCopy(const char* new_name, const char* new_password,
             const char* source_name, const char* source_password, bool utf8,
             int* handle) {
  if (handle) *handle = -1;
  return Guarded(VEXA_E_FILE_OPEN, [&] {
    Required(handle);
    if (new_password != nullptr) Check(CheckNewPassword(new_password));
    int source = -1;
    Check(OpenReadHandle(source_name, source_password, utf8, &source));
    ScopedSlot source_slot(source);  // only its dictionary is needed
    // The new file is made only by the header commit: a failure here
    // leaves no file to remove.
    int target = -1;
    int code = OpenWriteHandle(new_name, utf8, &target, new_password);
    ScopedSlot target_slot(target);
    if (code == VEXA_OK) {
      code = Guarded(VEXA_E_FILE_OPEN, [&] {
        HandleRecord& from = Lookup(source, Access::kAny);
        HandleRecord& to = Lookup(target, Access::kAny);
        to.Dict() = from.Dict();
        to.sysfile()->MutableHeader().product = kDefaultProductText;
        return to.BuildNameIndex() ? VEXA_OK : VEXA_E_DICTIONARY;
      });
    }
    if (code != VEXA_OK) return code;
    *handle = target_slot.Keep();
    return VEXA_OK;
  });
}

}  // namespace
}  // namespace vexa

using vexa::OpenCopy;

extern "C" {

VEXA_API int vexaOpenWriteCopy(const char* fileName, const char* dictFileName,
                               int* handle) {
  return OpenCopy(fileName, nullptr, dictFileName, nullptr, false, handle);
}

VEXA_API int vexaOpenWriteCopyU8(const char* fileName,
                                 const char* dictFileName, int* handle) {
  return OpenCopy(fileName, nullptr, dictFileName, nullptr, true, handle);
}

VEXA_API int vexaOpenWriteCopyEx(const char* fileName, const char* password,
                                 const char* dictFileName,
                                 const char* dictPassword, int* handle) {
  return OpenCopy(fileName, password ? password : "", dictFileName,
                  dictPassword, false, handle);
}

VEXA_API int vexaOpenWriteCopyU8Ex(const char* fileName, const char* password,
                                   const char* dictFileName,
                                   const char* dictPassword, int* handle) {
  return OpenCopy(fileName, password ? password : "", dictFileName,
                  dictPassword, true, handle);
}

VEXA_API int vexaOpenWriteCopyExFile(const char* fileName, const char* password,
                                     const char* dictFileName, int* handle) {
  return OpenCopy(fileName, password ? password : "", dictFileName, nullptr,
                  false, handle);
}

VEXA_API int vexaOpenWriteCopyU8ExFile(const char* fileName,
                                       const char* password,
                                       const char* dictFileName, int* handle) {
  return OpenCopy(fileName, password ? password : "", dictFileName, nullptr,
                  true, handle);
}

VEXA_API int vexaOpenWriteCopyExDict(const char* fileName,
                                     const char* dictFileName,
                                     const char* dictPassword, int* handle) {
  return OpenCopy(fileName, nullptr, dictFileName, dictPassword, false, handle);
}

VEXA_API int vexaOpenWriteCopyU8ExDict(const char* fileName,
                                       const char* dictFileName,
                                       const char* dictPassword, int* handle) {
  return OpenCopy(fileName, nullptr, dictFileName, dictPassword, true, handle);
}

}  // extern "C"
