// Each extension record parser alone: the first byte picks the subtype, the
// second the unit size and the byte order, the rest is the record's
// contents, read into a small dictionary (numbers, short and long strings,
// a very long string's segments) and then repaired as a read file is.
#include <vector>

#include "dict/dictionary.h"
#include "dict/names.h"
#include "ext/extension_handler.h"
#include "ext/registry.h"
#include "fuzz_target.h"
#include "layout/file_header.h"

using namespace vexa;

namespace {

constexpr int kSubtypes[] = {3, 4, 5, 6, 7, 8, 10, 11, 13, 14, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25};
constexpr int32_t kUnitSizes[] = {1, 4, 8, 2};

Dictionary SmallDictionary() {
  Dictionary d;
  for (auto [name, width] : std::vector<std::pair<const char*, int>>{
           {"A", 0}, {"YEAR_", 0}, {"DATE_", 8}, {"S", 20}, {"LONG", 255}, {"LONG0", 255},
           {"B", 0}}) {
    VEXA_Variable v(width);
    v.SetName(name);
    d.Add(v);
  }
  return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int subtype = kSubtypes[data[0] % std::size(kSubtypes)];
  const int32_t unit_size = kUnitSizes[data[1] & 3];
  const int32_t units = static_cast<int32_t>((size - 2) / static_cast<size_t>(unit_size));
  fuzz::Refusable([&] {
    Dictionary dictionary = SmallDictionary();
    FileHeader header;
    header.byte_swapped = (data[1] & 4) != 0;
    header.nominal_case_size = dictionary.SlotCount();
    NamePairs names;
    ExtensionReadContext context{dictionary, header, names};
    SystemFileExtensionRecord rec;
    rec.SetUnitSize(unit_size);
    rec.SetNUnits(units);
    if (units == 0) return;
    rec.CopyIn(reinterpret_cast<const char*>(data + 2));
    DispatchExtensionRead(subtype, context, rec);
    RepairNames(dictionary, header.long_names);
  });
  return 0;
}
