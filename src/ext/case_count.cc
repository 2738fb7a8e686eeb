// Extended case count (subtype 16): unit size 8.
//   Written with 2 units:  0 int64 1 (byte-order probe)
//                          8 int64 case count (-1 until the file is finished)
//   Read with 1 unit too:  0 int64 case count (in the header's byte order)
// The count replaces the header's when it is not smaller.
#include <cstring>

#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "support/endian.h"
#include "support/errors.h"

namespace vexa {
namespace {

using int64 = int64_t;

class SFExtensionNCases : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    const int64 units[2] = {1, file.header.case_count};
    rec.SetUnitSize(sizeof(int64));
    rec.SetNUnits(2);
    rec.CopyIn(units);
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    if (rec.UnitSize() != sizeof(int64)) {
      ThrowFileError(kErrBadStructure, "unit size {} where 8 is required",
                     rec.UnitSize());
    }
    if (rec.NUnits() != 1 && rec.NUnits() != 2) {
      ThrowFileError(kErrBadStructure, "unit count {} where 1 or 2 is required",
                     rec.NUnits());
    }
    int64 count;
    if (rec.NUnits() == 2) {
      // The probe, not the header, tells the record's byte order.
      const bool swap = LoadU64(rec.Contents(), false) != 1;
      count = static_cast<int64>(LoadU64(rec.Contents() + 8, swap));
    } else {
      count = static_cast<int64>(
          LoadU64(rec.Contents(), file.header.byte_swapped));
    }
    if (count >= file.header.case_count) file.header.case_count = count;
  }
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& CaseCount() {
  static const SFExtensionNCases kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
