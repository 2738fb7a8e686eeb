// Dictionary records, each beginning with an int32 record type:
//   2   variable record (variable_record.cc)
//   3   value label record + 4 variable index record (value_label_record.cc)
//   6   document record:   4 line count N, 8 N x 80 bytes of text
//   7   extension record:  4 subtype, 8 element size, 12 element count,
//                          16 size x count bytes of contents
//   999 termination:       4 filler (not examined); the case data follows
#include "sysfile/dictionary_reader.h"

#include <string>

#include "ext/extension_record.h"
#include "ext/registry.h"
#include "support/errors.h"
#include "sysfile/layout.h"
#include "sysfile/reader_state.h"
#include "sysfile/record_readers.h"
#include "sysfile/system_file_data_source.h"

namespace vexa {
namespace {

// Done once, at the first record that is not a variable record: the slot
// map, the numeric swap map of a byte-swapped file, the nominal case size
// and the weight variable.
void FinishVariables(ReaderState& state, Dictionary& dictionary) {
  state.slot_map_built = true;
  FileHeader& header = state.header;
  for (int i = 0; i < dictionary.Count(); ++i) {
    state.slot_map.push_back(i);
    int slots = SlotsForType(dictionary.At(i).Type());
    for (int s = 1; s < slots; ++s) state.slot_map.push_back(-1);
  }
  if (header.byte_swapped) {
    header.numeric_swap_map.assign(state.slot_map.size(), 0);
    for (size_t s = 0; s < state.slot_map.size(); ++s) {
      int32_t index = state.slot_map[s];
      if (index >= 0 && dictionary.At(index).IsNumeric()) {
        header.numeric_swap_map[s] = 1;
      }
    }
  }
  header.nominal_case_size = dictionary.SlotCount();
  dictionary.SetWeightIndex(state.VariableAtSlot(header.weight_index));
}

void ReadDocumentRecord(RecordInput& in, ReaderState& state,
                        Dictionary& dictionary) {
  int32 nLines = in.ReadInt32();
  VEXA_FILE_CHECK(nLines >= 0, kErrBadStructure);
  int64_t size = static_cast<int64_t>(nLines) * layout::kDocumentLineSize;
  if (!in.FitsOrExhaust(size)) return;
  std::string lines(static_cast<size_t>(size), ' ');
  in.Read(lines.data(), lines.size());
  dictionary.Extensions().Set(kDocumentsType, 1, size,
                              size > 0 ? lines.data() : nullptr);
  state.header.subtypes_seen.set(0);
}

void ReadExtensionRecord(RecordInput& in, ReaderState& state,
                         ExtensionReadContext& file) {
  int32 h[3] = {0, 0, 0};
  size_t len = in.Read(h, sizeof h);
  VEXA_FILE_CHECK(len == 3*sizeof(int32), kErrTruncated);
  for (int32& v : h) v = in.Fix(v);
  if (h[0] == 16) {
    state.header.subtype16_position = in.Stream().Tell();
    state.header.subtype16_units = h[2];
  }

  int32 m_unitSize = h[1];
  int32 m_nUnits = h[2];
  VEXA_FILE_CHECK(m_nUnits && m_unitSize, kErrBadStructure);
  VEXA_FILE_CHECK(m_nUnits > 0 && m_unitSize > 0, kErrBadStructure);
  VEXA_FILE_CHECK(h[0] >= 0, kErrBadStructure);
  int64_t size = static_cast<int64_t>(h[2]) * h[1];
  if (!in.Fits(size)) VEXA_FILE_FAIL(kErrTruncated, "len == h[2]*h[1]");

  SystemFileExtensionRecord rec;
  rec.SetUnitSize(m_unitSize);
  rec.SetNUnits(m_nUnits);
  len = in.Read(rec.Allocate(), rec.ByteSize());
  if (len != rec.ByteSize()) VEXA_FILE_FAIL(kErrTruncated, "len == h[2]*h[1]");
  DispatchExtensionRead(h[0], file, rec);
}

}  // namespace

void ReadDictionary(SystemFileDataSource& source, VEXA_StrBaseIO& stream,
                    FileHeader& header) {
  Dictionary& dictionary = source.GetDictionary();
  RecordInput in(stream, header.byte_swapped);
  ReaderState state(header);
  ExtensionReadContext file{dictionary, header, source.NameTable()};
  for (;;) {
    int32 recType = 0;
    size_t len = in.Read(&recType, sizeof(recType));
    VEXA_FILE_CHECK(len == sizeof(recType), kErrTruncated);
    recType = in.Fix(recType);
    if (recType != layout::kVariableRecord && !state.slot_map_built) {
      FinishVariables(state, dictionary);
    }
    switch (recType) {
      case layout::kVariableRecord:
        ReadVariableRecord(in, dictionary);
        break;
      case layout::kValueLabelRecord:
        ReadValueLabelRecord(in, state, dictionary);
        break;
      case layout::kDocumentRecord:
        ReadDocumentRecord(in, state, dictionary);
        break;
      case layout::kExtensionRecord:
        ReadExtensionRecord(in, state, file);
        break;
      case layout::kTerminationRecord: {
        int32 padding = 0;
        len = in.Read(&padding, sizeof(padding));
        VEXA_FILE_CHECK(len == sizeof(padding), kErrTruncated);
        RepairNames(dictionary, header.long_names);
        header.case_layout.file_slots = header.nominal_case_size;
        header.case_layout.memory_slots = dictionary.SlotCount();
        return;
      }
      default:
        VEXA_FILE_CHECK(false, kErrBadStructure);
    }
  }
}

}  // namespace vexa
