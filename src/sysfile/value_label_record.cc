// Value label record (type 3), after the record type:
//   4 label count N  int32
//   8 N labels, each: value[8] (float64 or text), length byte L, L bytes of
//     label text, filler so that length byte and text take a multiple of 8
// Variable index record (type 4), which must follow directly:
//   0 record type 4  int32
//   4 count M        int32, at least 1
//   8 M slot numbers int32, 1-based first slots of the labelled variables
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "dict/value_labels.h"
#include "support/errors.h"
#include "sysfile/layout.h"
#include "sysfile/record_readers.h"

namespace vexa {
namespace {

// A numeric map of a byte-swapped file, rebuilt with every value in host
// order.
ValueLabelMap SwappedNumericMap(const ValueLabelMap& map) {
  ValueLabelMap swapped(0);
  for (const VEXA_VLMapImpl::Entry& e : map.Entries()) {
    std::string key = e.key;
    Swap8InPlace(key.data());
    swapped.AddRaw(key, e.label);
  }
  return swapped;
}

ValueLabelMap ReadLabels(RecordInput& in) {
  int32 nLabels = 0;
  size_t len = in.Read(&nLabels, sizeof(nLabels));
  VEXA_FILE_CHECK(len == sizeof(nLabels), kErrTruncated);
  nLabels = in.Fix(nLabels);
  VEXA_FILE_CHECK(nLabels >= 0, kErrBadStructure);

  ValueLabelMap map(0);
  // Every label takes at least 16 bytes and each pass reads them, so a
  // damaged count ends at the end of the file.
  for (int32 i = 0; i < nLabels; ++i) {
    std::array<char, layout::kLabelEntryHeader> header;
    len = in.Read(header.data(), header.size());
    VEXA_FILE_CHECK(len == header.size(), kErrTruncated);
    size_t labelLen = static_cast<unsigned char>(header[layout::kValueSize]);
    size_t paddedLen = (labelLen + 8) / 8 * 8 - 1;
    char text[256];
    len = in.Read(text, paddedLen);
    VEXA_FILE_CHECK(len == paddedLen, kErrTruncated);
    map.AddRaw(std::string_view(header.data(), layout::kValueSize),
               std::string_view(text, labelLen));
  }
  return map;
}

}  // namespace

void ReadValueLabelRecord(RecordInput& in, const ReaderState& state,
                          Dictionary& dictionary) {
  ValueLabelMap map = ReadLabels(in);

  int32 h[2] = {0, 0};
  size_t len = in.Read(h, sizeof h);
  VEXA_FILE_CHECK(len == 2*sizeof(int32), kErrTruncated);
  h[0] = in.Fix(h[0]);
  h[1] = in.Fix(h[1]);
  VEXA_FILE_CHECK(h[0] == 4, kErrBadStructure);
  VEXA_FILE_CHECK(h[1] > 0, kErrBadStructure);

  int64_t nVars = h[1];
  if (!in.Fits(nVars * 4)) {
    VEXA_FILE_FAIL(kErrTruncated, "len == nVars*sizeof(int32)");
  }
  std::vector<int32> slots(static_cast<size_t>(nVars));
  len = in.Read(slots.data(), slots.size() * sizeof(int32));
  VEXA_FILE_CHECK(len == nVars*sizeof(int32), kErrTruncated);

  std::vector<int32> vars;
  vars.reserve(slots.size());  // bounded by the bytes just read
  for (int32 slot : slots) {
    int32 index = state.VariableAtSlot(in.Fix(slot));
    if (index < 0) {
      VEXA_FILE_FAIL(kErrBadStructure,
                     "index names the first slot of a variable");
    }
    vars.push_back(index);
  }

  const VEXA_Variable& first = dictionary.At(vars[0]);
  if (first.IsNumeric() && in.Swap()) map = SwappedNumericMap(map);
  map.SetWidth(first.Type());
  for (int32 index : vars) dictionary.MutableAt(index).SetValueLabels(map);
}

}  // namespace vexa
