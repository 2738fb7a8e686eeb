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
#include "sysfile/reader_state.h"

namespace vexa {
namespace {

class SFExtensionSourceParametersInt : public SystemFileExtensionHandler {
 public:
  void ReadRecord(SystemFileDataSource&, ReaderState& state,
                  const SystemFileExtensionRecord& rec) const override {
    VEXA_FILE_CHECK(rec.UnitSize() == 4, kErrBadStructure);
    VEXA_FILE_CHECK(rec.NUnits() == 8, kErrBadStructure);
    bool swap = state.header.byte_swapped;
    auto unit = [&](int i) { return LoadI32(rec.Contents() + 4 * i, swap); };
    MachineInfo& m = state.header.machine;
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
  void ReadRecord(SystemFileDataSource&, ReaderState& state,
                  const SystemFileExtensionRecord& rec) const override {
    VEXA_FILE_CHECK(rec.UnitSize() == sizeof(double), kErrBadStructure);
    VEXA_FILE_CHECK(rec.NUnits() == 3, kErrBadStructure);
    bool swap = state.header.byte_swapped;
    state.header.sysmis = LoadF64(rec.Contents(), swap);
    state.header.highest = LoadF64(rec.Contents() + 8, swap);
    state.header.lowest = LoadF64(rec.Contents() + 16, swap);
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
