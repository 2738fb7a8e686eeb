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
  if (len != sizeof(nLabels)) {
    ThrowFileError(kErrTruncated, "the file ends inside the label count");
  }
  nLabels = in.Fix(nLabels);
  if (nLabels < 0) {
    ThrowFileError(kErrBadStructure, "label count {} is negative", nLabels);
  }

  ValueLabelMap map(0);
  // Every label takes at least 16 bytes and each pass reads them, so a
  // damaged count ends at the end of the file.
  for (int32 i = 0; i < nLabels; ++i) {
    std::array<char, layout::kLabelEntryHeader> header;
    len = in.Read(header.data(), header.size());
    if (len != header.size()) {
      ThrowFileError(kErrTruncated, "the file ends inside label {} of {}",
                     i + 1, nLabels);
    }
    size_t labelLen = static_cast<unsigned char>(header[layout::kValueSize]);
    size_t paddedLen = (labelLen + 8) / 8 * 8 - 1;
    char text[256];
    len = in.Read(text, paddedLen);
    if (len != paddedLen) {
      ThrowFileError(kErrTruncated,
                     "the file ends inside the text of label {} of {}", i + 1,
                     nLabels);
    }
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
  if (len != sizeof h) {
    ThrowFileError(kErrTruncated,
                   "the file ends before the variable index record that must "
                   "follow the labels");
  }
  h[0] = in.Fix(h[0]);
  h[1] = in.Fix(h[1]);
  if (h[0] != layout::kVariableIndexRecord) {
    ThrowFileError(kErrBadStructure,
                   "the labels are followed by a record of type {}, where the "
                   "variable index record (type 4) must follow",
                   h[0]);
  }
  if (h[1] <= 0) {
    ThrowFileError(kErrBadStructure,
                   "the variable index record lists {} variables, where at "
                   "least 1 is required",
                   h[1]);
  }

  int64_t nVars = h[1];
  if (!in.Fits(nVars * 4)) {
    ThrowFileError(kErrTruncated,
                   "the variable index record lists {} variables, more than "
                   "the file holds",
                   nVars);
  }
  std::vector<int32> slots(static_cast<size_t>(nVars));
  len = in.Read(slots.data(), slots.size() * sizeof(int32));
  if (len != slots.size() * sizeof(int32)) {
    ThrowFileError(kErrTruncated,
                   "the file ends inside the variable index record");
  }

  std::vector<int32> vars;
  vars.reserve(slots.size());  // bounded by the bytes just read
  for (int32 slot : slots) {
    int32 index = state.VariableAtSlot(in.Fix(slot));
    if (index < 0) {
      ThrowFileError(kErrBadStructure,
                     "the variable index record names slot {}, which is not "
                     "the first slot of a variable",
                     in.Fix(slot));
    }
    vars.push_back(index);
  }

  const VEXA_Variable& first = dictionary.At(vars[0]);
  if (first.IsNumeric() && in.Swap()) map = SwappedNumericMap(map);
  map.SetWidth(first.Type());
  for (int32 index : vars) dictionary.MutableAt(index).SetValueLabels(map);
}

}  // namespace vexa
