// Opening new files for writing. The handle starts with an empty dictionary;
// the file itself is created only at the header commit.
#include <memory>
#include <string>

#include "api/call_guard.h"
#include "api/open_probe.h"
#include "sysfile/system_file_data_source.h"
#include "text/interface_encoding.h"
#include "vexaio.h"

namespace vexa {
namespace {

int OpenWrite(const char* file_name, bool utf8, int* handle) {
  if (handle) *handle = -1;
  return Guarded(VEXA_E_FILE_OPEN, [&] {
    Required(handle);
    std::string path = text::FileNameFromInterface(Required(file_name), utf8);
    if (!ProbeWrite(path)) return VEXA_E_FILE_OPEN;
    std::unique_ptr<SystemFileDataSource> writer =
        SystemFileDataSource::CreateForWriting(path);
    writer->MutableHeader().product = kWriteProductText;
    SystemFileDataSource* sysfile = writer.get();
    auto record = std::make_unique<HandleRecord>(HandleMode::kWrite,
                                                 std::move(writer), sysfile);
    return HandleTable::Instance().Allocate(std::move(record), handle);
  });
}

}  // namespace
}  // namespace vexa

extern "C" {

VEXA_API int vexaOpenWrite(const char* fileName, int* handle) {
  return vexa::OpenWrite(fileName, false, handle);
}

VEXA_API int vexaOpenWriteU8(const char* fileName, int* handle) {
  return vexa::OpenWrite(fileName, true, handle);
}

}  // extern "C"
