// Facts about a file as a whole: the file label, the creation time stamp,
// the product text and the release numbers; documents, copied between
// handles, read and set; and the temporary directory. (The encoding calls
// are in encoding_calls.cc.)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "api/call_guard.h"
#include "support/calendar.h"
#include "sysfile/system_file_data_source.h"
#include "vexaio.h"

using namespace vexa;

namespace {

constexpr size_t kDateBytes = 10;  // "dd-Mon-yy" and its NUL
constexpr size_t kTimeBytes = 9;   // "hh:mm:ss" and its NUL
// The product text of a written file starts with "@(#) VEXA DATA FILE ".
constexpr size_t kProductPrefixBytes = 20;
constexpr int kMachineIntegerType = 3;

void CopyText(const std::string& text, char* out) {
  std::memcpy(out, text.c_str(), text.size() + 1);
}

// The creation time as "dd-Mon-yy" and "hh:mm:ss"; a code of the
// conversions for a time stamp that is not a date.
int FormatTimeStamp(double stamp, char* date, char* time) {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr",
                                            "May", "Jun", "Jul", "Aug",
                                            "Sep", "Oct", "Nov", "Dec"};
  const double day_part = std::floor(stamp / kSecondsPerDay) * kSecondsPerDay;
  int day, month, year;
  int code = vexaConvertVEXADate(&day, &month, &year, day_part);
  if (code != VEXA_OK) return code;
  int days, hours, minutes;
  double seconds;
  code = vexaConvertVEXATime(&days, &hours, &minutes, &seconds,
                             std::floor(std::fmod(stamp, kSecondsPerDay)));
  if (code != VEXA_OK) return code;
  std::snprintf(date, kDateBytes, "%02d-%s-%02d", day, kMonths[month - 1],
                year % 100);
  std::snprintf(time, kTimeBytes, "%02d:%02d:%02d", hours, minutes,
                static_cast<int>(seconds));
  return VEXA_OK;
}

}  // namespace

extern "C" {

VEXA_API int vexaSetIdString(int handle, const char* id) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    // The writer cuts the label to the 64 bytes of the header field.
    r.Dict().SetIdString(id == nullptr ? "" : id);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetIdString(int handle, char* id) {
  if (id) id[0] = '\0';
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(id);
    // A label never set, or removed, is the empty text and no error: a
    // file read from disk has no way to tell it from an empty label.
    CopyText(r.Dict().IdString(), id);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetTimeStamp(int handle, char* fileDate, char* fileTime) {
  if (fileDate) fileDate[0] = '\0';
  if (fileTime) fileTime[0] = '\0';
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    return FormatTimeStamp(r.Dict().TimeStamp(), Required(fileDate),
                           Required(fileTime));
  });
}

VEXA_API int vexaGetSystemString(int handle, char* sysName) {
  if (sysName) sysName[0] = '\0';
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(sysName);
    if (r.sysfile() == nullptr) return VEXA_E_NO_FILE_INFO;
    const std::string& product = r.sysfile()->Header().product;
    if (product.size() >= kProductPrefixBytes) {
      CopyText(product.substr(kProductPrefixBytes), sysName);
    }
    return VEXA_OK;
  });
}

VEXA_API int vexaGetReleaseInfo(int handle, int* relInfo) {
  if (relInfo) relInfo[0] = relInfo[1] = relInfo[2] = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(relInfo);
    if (r.mode() == HandleMode::kWrite) return VEXA_OK;
    if (r.sysfile() == nullptr ||
        !r.sysfile()->Header().subtypes_seen.test(kMachineIntegerType)) {
      return VEXA_E_NO_RELEASE_INFO;
    }
    const MachineInfo& m = r.sysfile()->Header().machine;
    relInfo[0] = m.major, relInfo[1] = m.minor, relInfo[2] = m.revision;
    return VEXA_OK;
  });
}

VEXA_API int vexaCopyDocuments(int fromHandle, int toHandle) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& from = Lookup(fromHandle, Access::kAny);
    HandleRecord& to = Lookup(toHandle, Access::kDefine);
    RefPtr<VEXA_ExtensionImpl> docs =
        from.Dict().Extensions().GetRef(kDocumentsType);
    // The entry is shared, not copied: entries never change in place.
    const bool any_line =
        docs && docs->contents.size() >= static_cast<size_t>(kDocumentLineBytes);
    to.Dict().Extensions().Share(kDocumentsType,
                                 any_line ? docs : RefPtr<VEXA_ExtensionImpl>());
    return VEXA_OK;
  });
}

VEXA_API int vexaGetDocuments(int handle, char* buffer, int bufferSize,
                              int* numLines) {
  if (numLines) *numLines = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(numLines);
    const VEXA_ExtensionImpl* docs = r.Dict().Extensions().Get(kDocumentsType);
    // As the writer does, bytes past the last whole line do not count.
    const int64_t lines =
        docs ? static_cast<int64_t>(docs->contents.size()) / kDocumentLineBytes
             : 0;
    const int64_t fit =
        std::min<int64_t>(lines, std::max(bufferSize, 0) / kDocumentLineBytes);
    if (fit > 0) {
      std::memcpy(Required(buffer), docs->contents.data(),
                  static_cast<size_t>(fit * kDocumentLineBytes));
    }
    *numLines = static_cast<int>(lines);
    return VEXA_OK;
  });
}

VEXA_API int vexaSetDocuments(int handle, const char* lines, int numLines) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    if (numLines < 0 || (numLines > 0 && lines == nullptr)) {
      return VEXA_E_BAD_EXTENSION;
    }
    r.Dict().Extensions().Set(
        kDocumentsType, 1, static_cast<int64_t>(numLines) * kDocumentLineBytes,
        numLines > 0 ? lines : nullptr);
    return VEXA_OK;
  });
}

VEXA_API int vexaSetTempDir(const char* dirName) {
  return Guarded(kFallbackHandle, [&] {
    return setenv("VEXATMPDIR", Required(dirName), 1) == 0 ? VEXA_OK
                                                           : VEXA_E_NO_MEMORY;
  });
}

}  // extern "C"
