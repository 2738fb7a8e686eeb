// LWA: the display parameters record (subtype 11), level, width and
// alignment. Unit size 4, unit count 3 x the variable count. One triple of
// int32 per variable in dictionary order (segments of very long strings
// count as variables of their own):
//   0 measurement level (low 4 bits)
//   4 display width in characters (0 or less: keep the variable's own)
//   8 alignment (low 2 bits)
#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "support/endian.h"
#include "support/errors.h"

namespace vexa {
namespace {

using int32 = int32_t;

class SFExtensionLWA : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    const Dictionary& dictionary = file.plan.file;  // segments included
    if (dictionary.Count() == 0) return;
    rec.SetUnitSize(sizeof(int32));
    rec.SetNUnits(dictionary.Count() * 3);
    char* out = rec.Allocate();
    for (int i = 0; i < dictionary.Count(); ++i, out += 12) {
      const VEXA_Variable& var = dictionary.At(i);
      StoreI32(out, var.MeasureLevel());
      StoreI32(out + 4, var.DisplayWidth());
      StoreI32(out + 8, var.Alignment());
    }
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    Dictionary& dictionary = file.dictionary;
    if (rec.UnitSize() != sizeof(int32)) {
      ThrowFileError(kErrBadStructure, "unit size {} where 4 is required",
                     rec.UnitSize());
    }
    if (static_cast<int64_t>(rec.NUnits()) !=
        static_cast<int64_t>(dictionary.Count()) * 3) {
      ThrowFileError(kErrBadStructure,
                     "unit count {} where {} (3 for each of {} variables) is "
                     "required",
                     rec.NUnits(), int64_t{dictionary.Count()} * 3,
                     dictionary.Count());
    }
    const bool swap = file.header.byte_swapped;
    const char* in = rec.Contents();
    for (int i = 0; i < dictionary.Count(); ++i, in += 12) {
      VEXA_Variable& var = dictionary.MutableAt(i);
      var.SetMeasureLevel(LoadI32(in, swap) & 0xF);
      const int32 width = LoadI32(in + 4, swap);
      if (width > 0) var.SetDisplayWidth(width);
      var.SetAlignment(LoadI32(in + 8, swap) & 0x3);
    }
  }
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& LWA() {
  static const SFExtensionLWA kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
