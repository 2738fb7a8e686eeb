// Extension records whose contents are one text: unit size 1, unit count
// the text's byte length, no record for an empty text.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

#include "ext/extension_record.h"
#include "support/errors.h"

namespace vexa {

inline void StoreText(SystemFileExtensionRecord& rec, std::string_view text) {
  if (text.empty()) return;
  VEXA_ASSERT(text.size() <= static_cast<size_t>(std::numeric_limits<int32_t>::max()));
  rec.SetUnitSize(1);
  rec.SetNUnits(static_cast<int32_t>(text.size()));
  rec.CopyIn(text.data());
}

// The record's text; unit size 1 and a unit count not below 0 are required.
inline std::string_view LoadText(const SystemFileExtensionRecord& rec) {
  if (rec.UnitSize() != 1) {
    ThrowFileError(kErrBadStructure, "unit size {} where 1 is required",
                   rec.UnitSize());
  }
  if (rec.NUnits() < 0) {
    ThrowFileError(kErrBadStructure, "unit count {} is negative", rec.NUnits());
  }
  if (rec.NUnits() == 0) return {};
  return {rec.Contents(), rec.ByteSize()};
}

}  // namespace vexa
