// The header commit, and handing cases to the case writer.
#include <stdexcept>

#include "api/call_guard.h"
#include "sysfile/system_file_data_source.h"
#include "vexaio.h"

using namespace vexa;

static_assert(kCompressionNone == VEXA_COMPRESSION_NONE &&
              kCompressionByteCode == VEXA_COMPRESSION_BYTECODE &&
              kCompressionZlib == VEXA_COMPRESSION_ZLIB);

namespace {

SystemFileDataSource& Writer(HandleRecord& r) {
  if (r.sysfile() == nullptr) throw ApiError(VEXA_E_NO_FILE_INFO);
  return *r.sysfile();
}

}  // namespace

extern "C" {

VEXA_API int vexaCommitHeader(int handle) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    if (r.Dict().Count() == 0) return VEXA_E_NO_VARIABLES;
    Writer(r).CommitHeader();
    r.BuildVariableDirectory();
    r.set_header_committed();
    return VEXA_OK;
  });
}

VEXA_API int vexaCommitCaseRecord(int handle) {
  return Guarded(kFallbackWrite, [&] {
    HandleRecord& r = Lookup(handle, Access::kData);
    r.PrepareCase();
    Writer(r).WriteCase(r.case_buffer());
    r.set_case_state(kNoCase);
    return VEXA_OK;
  });
}

VEXA_API int vexaWholeCaseOut(int handle, const void* caseRec) {
  return Guarded(kFallbackWrite, [&] {
    HandleRecord& r = Lookup(handle, Access::kData);
    Writer(r).WriteCase(static_cast<const char*>(Required(caseRec)));
    r.set_case_state(kNoCase);
    return VEXA_OK;
  });
}

VEXA_API int vexaWholeCasesOut(int handle, const void* caseRecs, int numCases,
                              int* casesWritten) {
  if (casesWritten) *casesWritten = 0;
  return Guarded(kFallbackWrite, [&] {
    HandleRecord& r = Lookup(handle, Access::kData);
    Required(caseRecs);
    Required(casesWritten);
    if (numCases < 0) throw std::invalid_argument("negative case count");
    SystemFileDataSource& writer = Writer(r);
    const size_t size = static_cast<size_t>(r.Dict().SlotCount()) * 8;
    const char* from = static_cast<const char*>(caseRecs);
    r.set_case_state(kNoCase);
    // A failing write leaves the count at the cases before it.
    for (int i = 0; i < numCases; ++i, from += size) {
      writer.WriteCase(from);
      *casesWritten = i + 1;
    }
    return VEXA_OK;
  });
}

VEXA_API int vexaSetCompression(int handle, int compSwitch) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    // None and zlib stay; every other value asks for byte-code.
    Writer(r).SetCompression(compSwitch == VEXA_COMPRESSION_NONE ||
                                     compSwitch == VEXA_COMPRESSION_ZLIB
                                 ? compSwitch
                                 : VEXA_COMPRESSION_BYTECODE);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetCompression(int handle, int* compSwitch) {
  if (compSwitch) *compSwitch = VEXA_COMPRESSION_NONE;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(compSwitch);
    if (r.sysfile() != nullptr) *compSwitch = r.sysfile()->Compression();
    return VEXA_OK;
  });
}

}  // extern "C"
