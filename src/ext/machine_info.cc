// Machine integer information (subtype 3): unit size 4, 8 units
//   0 major version  1 minor version  2 revision  3 machine code
//   4 floating-point representation  5 compression code
//   6 endianness (ignored on reading)  7 character code
// Machine floating-point information (subtype 4): unit size 8, 3 units
//   0 system-missing value  1 highest value  2 lowest value
#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "support/endian.h"
#include "support/errors.h"

namespace vexa {
namespace {

void RequireShape(const SystemFileExtensionRecord& rec, int32_t unit_size,
                  int32_t units) {
  if (rec.UnitSize() != unit_size) {
    ThrowFileError(kErrBadStructure, "unit size {} where {} is required",
                   rec.UnitSize(), unit_size);
  }
  if (rec.NUnits() != units) {
    ThrowFileError(kErrBadStructure, "unit count {} where {} is required",
                   rec.NUnits(), units);
  }
}

class SFExtensionSourceParametersInt : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    const MachineInfo& m = file.header.machine;
    const int32_t units[8] = {m.major,        m.minor,
                              m.revision,     m.machine_code,
                              m.float_code,   m.compression_code,
                              2,  // always written little-endian
                              m.character_code};
    rec.SetUnitSize(4);
    rec.SetNUnits(8);
    char* out = rec.Allocate();
    for (int i = 0; i < 8; ++i) StoreI32(out + 4 * i, units[i]);
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    RequireShape(rec, 4, 8);
    bool swap = file.header.byte_swapped;
    auto unit = [&](int i) { return LoadI32(rec.Contents() + 4 * i, swap); };
    MachineInfo& m = file.header.machine;
    m.major = unit(0);
    m.minor = unit(1);
    m.revision = unit(2);
    m.machine_code = unit(3);
    m.float_code = unit(4);
    m.compression_code = unit(5);
    m.character_code = unit(7);
  }
};

class SFExtensionSourceParametersDouble : public SystemFileExtensionHandler {
 public:
  // Always the library's own special values, not the header's.
  void WriteRecord(const ExtensionWriteContext&,
                   SystemFileExtensionRecord& rec) const override {
    rec.SetUnitSize(sizeof(double));
    rec.SetNUnits(3);
    char* out = rec.Allocate();
    StoreF64(out, SysmisValue());
    StoreF64(out + 8, HighestValue());
    StoreF64(out + 16, LowestValue());
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    RequireShape(rec, sizeof(double), 3);
    bool swap = file.header.byte_swapped;
    file.header.sysmis = LoadF64(rec.Contents(), swap);
    file.header.highest = LoadF64(rec.Contents() + 8, swap);
    file.header.lowest = LoadF64(rec.Contents() + 16, swap);
  }
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& MachineInteger() {
  static const SFExtensionSourceParametersInt kHandler;
  return kHandler;
}

const SystemFileExtensionHandler& MachineFloat() {
  static const SFExtensionSourceParametersDouble kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
