// Date variables information (subtype 6): unit size 4, int32 units
//   flag, value 1, n (date variables, at most 10), value 3, value 4, n > 0
// then one triple per filled slot (components, then the date key):
//   1-based position of the variable's first value in the case, type,
//   parameter
// The information names variables by identity; when it no longer matches
// the dictionary at the header commit (a variable gone, renamed or of the
// wrong kind), no record is written.
#include <algorithm>
#include <optional>
#include <vector>

#include "ext/date_info.h"
#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "support/endian.h"
#include "support/errors.h"

namespace vexa {
namespace {

// The slots checked against the dictionary (indexes brought up to date), or
// nothing when the information does not hold.
std::optional<std::vector<DateInfo::Slot>> Validate(const DateInfo& info,
                                                    const Dictionary& dictionary) {
  std::vector<DateInfo::Slot> slots = info.slots;
  for (size_t k = 0; k < slots.size(); ++k) {
    DateInfo::Slot& slot = slots[k];
    if (slot.type == DateInfo::kEmptySlot) continue;
    const bool key_slot = k == static_cast<size_t>(info.count);
    if (slot.type < 0 || slot.type > DateInfo::kDateKey ||
        key_slot != (slot.type == DateInfo::kDateKey)) {
      return std::nullopt;
    }
    slot.index = DateSlotVariable(slot, dictionary);
    if (slot.index < 0) {
      if (!key_slot) return std::nullopt;
      slot = DateInfo::Slot{};
      continue;
    }
    const VEXA_Variable& var = dictionary.At(slot.index);
    if (var.NameKey() != DateInfo::kComponentNames[static_cast<size_t>(slot.type)] ||
        var.IsNumeric() == key_slot) {
      return std::nullopt;
    }
  }
  return slots;
}

class SFExtensionTrendsInfo : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    const DateInfo& info = file.dictionary.Meta().date_info;
    if (!info.present || (info.flag == 0 && info.count == 0)) return;
    const auto slots = Validate(info, file.dictionary);
    if (!slots) return;
    std::vector<int32_t> units = {info.flag != 0, info.value1, info.count,
                                  info.value3,    info.value4, info.count > 0};
    for (const DateInfo::Slot& slot : *slots) {
      if (slot.type == DateInfo::kEmptySlot) continue;
      // The variable's first value in the file's case, by its short name.
      const std::string& short_name =
          file.plan.name_map[static_cast<size_t>(slot.index)].second;
      int32_t position = 0;
      for (int i = 0; i < file.plan.file.Count(); ++i) {
        if (file.plan.file.At(i).Name() == short_name) {
          position = file.plan.file.FirstSlot(i) + 1;
          break;
        }
      }
      units.insert(units.end(), {position, slot.type, slot.parameter});
    }
    rec.SetUnitSize(4);
    rec.SetNUnits(static_cast<int32_t>(units.size()));
    char* out = rec.Allocate();
    for (int32_t v : units) {
      StoreI32(out, v);
      out += 4;
    }
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    if (rec.UnitSize() != 4) {
      ThrowFileError(kErrBadStructure, "unit size {} where 4 is required", rec.UnitSize());
    }
    const int32_t units = rec.NUnits();
    const bool swap = file.header.byte_swapped;
    auto unit = [&](int32_t k) { return LoadI32(rec.Contents() + 4 * k, swap); };
    if (units < 6) {
      ThrowFileError(kErrBadStructure, "{} units where at least 6 are required", units);
    }
    const int32_t n = unit(2);
    if (n < 0 || n > DateInfo::kMaxVariables) {
      ThrowFileError(kErrBadStructure, "{} date variables where at most {} are allowed", n,
                     DateInfo::kMaxVariables);
    }
    if (units < 3 * n + 6) {
      ThrowFileError(kErrBadStructure, "{} units are too few for {} date variables", units, n);
    }
    Dictionary& dictionary = file.dictionary;
    DateInfo info;
    info.present = true;
    info.flag = unit(0) != 0;
    info.value1 = unit(1);
    info.value3 = unit(3);
    info.value4 = unit(4);
    info.count = n;
    info.slots.resize(static_cast<size_t>(n) + 1);
    const int32_t triples = std::min((units - 6) / 3, n + 1);
    for (int32_t k = 0; k < triples; ++k) {
      const int32_t p = unit(6 + 3 * k);
      DateInfo::Slot& slot = info.slots[static_cast<size_t>(k)];
      slot.type = unit(7 + 3 * k);
      slot.parameter = unit(8 + 3 * k);
      if (p == 0) continue;
      int i = 0;
      while (i < dictionary.Count() && dictionary.FirstSlot(i) < int64_t{p} - 1) ++i;
      if (i >= dictionary.Count()) {
        ThrowFileError(kErrBadStructure, "no variable holds case position {}", p);
      }
      slot.index = i;
      slot.id = dictionary.At(i).Id();
    }
    dictionary.MutableMeta().date_info = std::move(info);
  }
};

}  // namespace

int DateSlotVariable(const DateInfo::Slot& slot, const Dictionary& dictionary) {
  if (slot.index >= 0 && slot.index < dictionary.Count() &&
      dictionary.At(slot.index).Id() == slot.id) {
    return slot.index;
  }
  for (int i = 0; i < dictionary.Count(); ++i) {
    if (dictionary.At(i).Id() == slot.id) return i;
  }
  return -1;
}

bool DateInfoMatches(const DateInfo& info, const Dictionary& dictionary) {
  return !info.present || Validate(info, dictionary).has_value();
}

namespace handlers {

const SystemFileExtensionHandler& DateInfoRecord() {
  static const SFExtensionTrendsInfo kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
