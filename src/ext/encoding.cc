// Character encoding (subtype 20): unit size 1, the encoding name's bytes
// without a terminator, e.g. "UTF-8" or "windows-1252". A file written
// with an empty name has no such record.
#include <string>

#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "support/errors.h"

namespace vexa {
namespace {

class SFExtensionEncoding : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    const std::string& name = file.header.encoding_name;
    if (name.empty()) return;
    rec.SetUnitSize(1);
    rec.SetNUnits(static_cast<int32_t>(name.size()));
    rec.CopyIn(name.data());
  }

  // The name is kept as the file gives it; whether ICU knows it is decided
  // where the file's encoding is needed.
  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    if (rec.UnitSize() != 1) {
      ThrowFileError(kErrBadStructure, "unit size {} where 1 is required",
                     rec.UnitSize());
    }
    if (rec.NUnits() < 1) {
      ThrowFileError(kErrBadStructure, "unit count {} where at least 1 is required",
                     rec.NUnits());
    }
    file.header.encoding_name.assign(rec.Contents(), rec.ByteSize());
  }
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& Encoding() {
  static const SFExtensionEncoding kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
