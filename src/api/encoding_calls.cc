// The encoding calls: the interface encoding, the current code page and the
// locale (process-wide, changed only while no file is open), and the
// encoding of the file behind a handle.
#include <algorithm>
#include <cstring>
#include <string>

#include "api/call_guard.h"
#include "sysfile/system_file_data_source.h"
#include "text/code_pages.h"
#include "text/interface_encoding.h"
#include "text/runtime_locale.h"
#include "vexaio.h"

using namespace vexa;

namespace {

// The system file behind a handle; 29 without one.
SystemFileDataSource& FileBehind(int handle) {
  HandleRecord& r = Lookup(handle, Access::kAny);
  if (r.sysfile() == nullptr) throw ApiError(VEXA_E_NO_FILE_INFO);
  return *r.sysfile();
}

}  // namespace

extern "C" {

VEXA_API int vexaSetInterfaceEncoding(int encoding) {
  return Guarded(kFallbackHandle, [&] {
    if (encoding != 0 && encoding != 1) return VEXA_E_BAD_ENCODING_MODE;
    // Open handles have taken their texts in the mode they were opened in.
    const bool changed = HandleTable::Instance().WhileNoneOpen([&] {
      text::SetInterfaceMode(encoding == 1 ? text::InterfaceMode::kUtf8
                                           : text::InterfaceMode::kCodePage);
    });
    return changed ? VEXA_OK : VEXA_E_FILES_OPEN;
  });
}

VEXA_API int vexaGetInterfaceEncoding(void) {
  return text::GetInterfaceMode() == text::InterfaceMode::kUtf8 ? 1 : 0;
}

VEXA_API int vexaSetCodePage(const char* encoding) {
  return Guarded(kFallbackHandle, [&] {
    bool set = false;
    const bool none_open = HandleTable::Instance().WhileNoneOpen(
        [&] { set = encoding != nullptr && text::SetCurrentCodePage(encoding); });
    if (!none_open) return VEXA_E_FILES_OPEN;
    if (!set) {
      throw ApiError(VEXA_E_BAD_ENCODING_MODE,
                     std::string("no converter opens for the encoding \"") +
                         (encoding ? encoding : "(null)") + "\"");
    }
    return VEXA_OK;
  });
}

VEXA_API const char* vexaSetLocale(int category, const char* locale) {
  // The text in effect, kept until the next call on the same thread.
  thread_local std::string stored;
  try {
    if (!HandleTable::Instance().WhileNoneOpen(
            [&] { stored = text::SetRuntimeLocale(category, locale); })) {
      stored = text::RuntimeLocale(category);
    }
  } catch (...) {
    stored.clear();
  }
  return stored.empty() ? nullptr : stored.c_str();
}

VEXA_API int vexaGetFileEncoding(int handle, char* encoding) {
  if (encoding) encoding[0] = '\0';
  return Guarded(kFallbackHandle, [&] {
    Required(encoding);
    const std::string name = FileBehind(handle).FileEncoding();
    const size_t n = std::min(name.size(), size_t{VEXA_ENCODING_BUFFER - 1});
    std::memcpy(encoding, name.data(), n);
    encoding[n] = '\0';
    return VEXA_OK;
  });
}

VEXA_API int vexaGetFileCodePage(int handle, int* codePage) {
  if (codePage) *codePage = 0;
  return Guarded(kFallbackHandle, [&] {
    Required(codePage);
    *codePage = text::CodePageOfName(FileBehind(handle).FileEncoding());
    return *codePage > 0 ? VEXA_OK : VEXA_E_NO_FILE_INFO;
  });
}

VEXA_API int vexaIsCompatibleEncoding(int handle, int* compatible) {
  if (compatible) *compatible = 1;
  return Guarded(kFallbackHandle, [&] {
    Required(compatible);
    const SystemFileDataSource& file = FileBehind(handle);
    *compatible = text::CompatibleEncodings(file.FileEncoding(),
                                            text::InterfaceEncodingName()) &&
                          !file.Header().byte_swapped
                      ? 1
                      : 0;
    return VEXA_OK;
  });
}

}  // extern "C"
