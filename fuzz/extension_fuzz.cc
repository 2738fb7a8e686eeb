// The extension records: the first byte picks the subtype, the second the
// unit size and the byte order, the rest is the record's contents, read
// with a small dictionary (numbers, date variables, short and long strings,
// a very long string's segments) as a file is.
#include <iterator>
#include <utility>

#include "fuzz_target.h"
#include "support/sysfile_builder.h"

using namespace vexa;

namespace {

constexpr int kSubtypes[] = {3, 4, 5, 6, 7, 8, 10, 11, 13, 14, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25};
constexpr int32_t kUnitSizes[] = {1, 4, 8, 2};
constexpr std::pair<const char*, int> kVariables[] = {
    {"A", 0}, {"YEAR_", 0}, {"DATE_", 8}, {"S", 20}, {"LONG", 255}, {"LONG0", 255}, {"B", 0}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int32_t unit_size = kUnitSizes[data[1] & 3];
  const size_t units = (size - 2) / static_cast<size_t>(unit_size);
  testing::SysFileBuilder file((data[1] & 4) != 0);
  file.Header();
  for (const auto& [name, width] : kVariables) {
    width == 0 ? file.NumericVar(name) : file.StringVar(name, width);
  }
  file.Extension(kSubtypes[data[0] % std::size(kSubtypes)], unit_size, static_cast<int32_t>(units),
                 fuzz::Bytes(data + 2, units * static_cast<size_t>(unit_size)));
  fuzz::ReadBytes(file.End().Bytes());
  return 0;
}
