// An addition to the reference interface: the blocks of a zlib file.
#include "api/call_guard.h"
#include "io/zlib_index.h"
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
    VEXA_StrBaseIO* stream = source ? source->Stream() : nullptr;
    const ZlibBlockMap zlib = stream ? stream->ZlibBlocks() : ZlibBlockMap{};
    if (zlib.index == nullptr) return VEXA_OK;
    const ZlibBlockIndex& index = *zlib.index;
    if (blocks) *blocks = index.Count();
    if (caseDataBytes) *caseDataBytes = index.LogicalEnd(zlib.data_start) - zlib.data_start;
    if (compressedBytes) *compressedBytes = index.CompressedBytes();
    return VEXA_OK;
  });
}

}  // extern "C"
