// An addition to the reference interface: the blocks of a zlib file.
#include "api/call_guard.h"
#include "io/zlib_stream.h"
#include "sysfile/system_file_data_source.h"
#include "vexaio.h"

using namespace vexa;

extern "C" {

VEXA_API int vexaGetZlibBlockInfo(int handle, long long* blocks,
                                  long long* caseDataBytes,
                                  long long* compressedBytes) {
  if (blocks) *blocks = 0;
  if (caseDataBytes) *caseDataBytes = 0;
  if (compressedBytes) *compressedBytes = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    SystemFileDataSource* source = r.sysfile();
    const auto* zlib =
        source ? dynamic_cast<const zcmpsFilestr*>(source->Stream()) : nullptr;
    if (zlib == nullptr) return VEXA_OK;
    const ZlibBlockIndex& index = zlib->Index();
    if (blocks) *blocks = index.Count();
    if (caseDataBytes) *caseDataBytes = index.LogicalEnd(zlib->CaseStart()) - zlib->CaseStart();
    if (compressedBytes) *compressedBytes = index.CompressedBytes();
    return VEXA_OK;
  });
}

}  // extern "C"
