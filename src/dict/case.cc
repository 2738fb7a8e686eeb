#include "dict/case.h"

#include <cstring>

#include "dict/dictionary.h"
#include "support/errors.h"

namespace vexa {
namespace {

constexpr uint64_t kSysmisBits = 0xFFEFFFFFFFFFFFFFull;

size_t SlotsOf(const Dictionary& dict) {
  return static_cast<size_t>(dict.SlotCount() > 0 ? dict.SlotCount() : 0);
}

}  // namespace

VEXA_Case::VEXA_Case(const Dictionary& dict)
    : owned_(new char[SlotsOf(dict) * 8]),
      data_(owned_.get()),
      slots_(SlotsOf(dict)) {
  Clear(dict, data_);
}

VEXA_Case::VEXA_Case(const Dictionary& dict, char* buffer)
    : data_(buffer), slots_(SlotsOf(dict)) {
  VEXA_ASSERT(buffer != nullptr || slots_ == 0);
}

VEXA_Case::~VEXA_Case() = default;

void VEXA_Case::Clear(const Dictionary& dict, char* buffer) {
  size_t slot = 0;
  for (int i = 0; i < dict.Count(); ++i) {
    const VEXA_Variable& var = dict.At(i);
    if (var.IsNumeric()) {
      std::memcpy(buffer + slot * 8, &kSysmisBits, 8);
      ++slot;
    } else {
      const size_t slots = static_cast<size_t>(SlotsForType(var.Type()));
      std::memset(buffer + slot * 8, ' ', slots * 8);
      slot += slots;
    }
  }
}

}  // namespace vexa
