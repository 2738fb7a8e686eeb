// Dictionary records, each beginning with an int32 record type:
//   2   variable record (variable_record.cc)
//   3   value label record + 4 variable index record (value_label_record.cc)
//   6   document record:   4 line count N, 8 N x 80 bytes of text
//   7   extension record:  4 subtype, 8 element size, 12 element count,
//                          16 size x count bytes of contents
//   999 termination:       4 filler (not examined); the case data follows
#include "sysfile/dictionary_reader.h"

#include <string>

#include "dict/names.h"
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
  if (nLines < 0) {
    ThrowFileError(kErrBadStructure, "line count {} is negative", nLines);
  }
  int64_t size = static_cast<int64_t>(nLines) * layout::kDocumentLineSize;
  if (!in.FitsOrExhaust(size)) return;
  std::string lines(static_cast<size_t>(size), ' ');
  in.Read(lines.data(), lines.size());
  dictionary.Extensions().Set(kDocumentsType, 1, size,
                              size > 0 ? lines.data() : nullptr);
  state.header.subtypes_seen.set(0);
}

// "extension record 21 (long string value labels) at offset 5,678".
std::string ExtensionPlace(int32 subtype, int64_t offset) {
  const char* name = ExtensionName(subtype);
  return name ? Sentence("extension record {} ({}) at offset {}", subtype,
                         name, offset)
              : Sentence("extension record {} at offset {}", subtype, offset);
}

void ReadExtensionRecord(RecordInput& in, ReaderState& state,
                         ExtensionReadContext& file, int64_t offset) {
  int32 h[3] = {0, 0, 0};
  size_t len = in.Read(h, sizeof h);
  if (len != sizeof h) {
    ThrowFileError(kErrTruncated, "the file ends inside the record's header");
  }
  for (int32& v : h) v = in.Fix(v);
  const int32 subtype = h[0];
  const int32 unit_size = h[1];
  const int32 units = h[2];
  if (subtype == 16) {
    state.header.subtype16_position = in.Stream().Tell();
    state.header.subtype16_units = units;
  }
  try {
    if (units == 0 || unit_size == 0) {
      ThrowFileError(kErrBadStructure,
                     "unit size {} and unit count {}: neither may be 0",
                     unit_size, units);
    }
    if (units < 0 || unit_size < 0) {
      ThrowFileError(kErrBadStructure,
                     "unit size {} and unit count {}: neither may be negative",
                     unit_size, units);
    }
    if (subtype < 0) {
      ThrowFileError(kErrBadStructure, "subtype {} is negative", subtype);
    }
    const int64_t size = int64_t{units} * unit_size;
    if (!in.Fits(size)) {
      ThrowFileError(kErrTruncated,
                     "{} units of {} bytes are more than the file holds",
                     units, unit_size);
    }
    SystemFileExtensionRecord rec;
    rec.SetUnitSize(unit_size);
    rec.SetNUnits(units);
    len = in.Read(rec.Allocate(), rec.ByteSize());
    if (len != rec.ByteSize()) {
      ThrowFileError(kErrTruncated,
                     "the contents end after {} of their {} bytes", len,
                     rec.ByteSize());
    }
    DispatchExtensionRead(subtype, file, rec);
  } catch (SystemFileException& e) {
    e.SetPlace(ExtensionPlace(subtype, offset));
    throw;
  }
}

// Where a record of the type begins, for the sentence of its failure.
std::string RecordPlace(int32 type, int64_t offset) {
  const char* name = nullptr;
  switch (type) {
    case layout::kVariableRecord: name = "variable record"; break;
    case layout::kValueLabelRecord: name = "value label record"; break;
    case layout::kDocumentRecord: name = "document record"; break;
    case layout::kExtensionRecord: name = "extension record"; break;
    case layout::kTerminationRecord: name = "termination record"; break;
    default: name = "dictionary"; break;
  }
  return Sentence("{} at offset {}", name, offset);
}

void ReadRecord(int32 type, RecordInput& in, ReaderState& state,
                ExtensionReadContext& file, int64_t offset) {
  Dictionary& dictionary = file.dictionary;
  switch (type) {
    case layout::kVariableRecord:
      // The case layout is fixed at the first record of another type; a
      // variable after it would lie outside every case.
      if (state.slot_map_built) {
        ThrowFileError(kErrBadStructure,
                       "it follows records of other types, where the "
                       "variables must come first");
      }
      ReadVariableRecord(in, dictionary);
      return;
    case layout::kValueLabelRecord:
      ReadValueLabelRecord(in, state, dictionary);
      return;
    case layout::kDocumentRecord:
      ReadDocumentRecord(in, state, dictionary);
      return;
    case layout::kExtensionRecord:
      ReadExtensionRecord(in, state, file, offset);
      return;
    case layout::kTerminationRecord: {
      int32 padding = 0;
      if (in.Read(&padding, sizeof(padding)) != sizeof(padding)) {
        ThrowFileError(kErrTruncated, "the file ends inside the record");
      }
      return;
    }
    case layout::kVariableIndexRecord:
      ThrowFileError(kErrBadStructure,
                     "a variable index record (type 4) without the value "
                     "label record (type 3) that it must follow");
    default:
      ThrowFileError(kErrBadStructure, "record type {} is not known", type);
  }
}

}  // namespace

void ReadDictionary(SystemFileDataSource& source, VEXA_StrBaseIO& stream,
                    FileHeader& header) {
  Dictionary& dictionary = source.GetDictionary();
  RecordInput in(stream, header.byte_swapped);
  ReaderState state(header);
  ExtensionReadContext file{dictionary, header, source.NameTable()};
  for (bool done = false; !done;) {
    const int64_t offset = stream.Tell();
    int32 type = 0;
    try {
      int32 raw = 0;
      if (in.Read(&raw, sizeof(raw)) != sizeof(raw)) {
        ThrowFileError(kErrTruncated, "the file ends where a record is due");
      }
      type = in.Fix(raw);
      if (type != layout::kVariableRecord && !state.slot_map_built) {
        FinishVariables(state, dictionary);
      }
      ReadRecord(type, in, state, file, offset);
    } catch (SystemFileException& e) {
      e.SetPlace(RecordPlace(type, offset));
      throw;
    }
    done = type == layout::kTerminationRecord;
  }
  RepairNames(dictionary, header.long_names);
  header.case_layout.file_slots = header.nominal_case_size;
  header.case_layout.memory_slots = dictionary.SlotCount();
}

}  // namespace vexa
