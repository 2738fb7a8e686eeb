// Composing the dictionary part of a system file: the header record, the
// variable, value label, document and extension records and the termination
// record, in the byte layout of sysfile/layout.h, appended to a RecordBuffer.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "dict/dictionary.h"
#include "ext/extension_record.h"
#include "layout/file_header.h"
#include "sysfile/record_buffer.h"

namespace vexa {

// What the header record says beyond the file header and the dictionary.
struct HeaderLayout {
  int32_t nominal_case_size;  // slots per case in the file layout
  int32_t weight_index;       // 1-based slot of the weight variable, or 0
  std::time_t now;            // the moment of writing
};

// The 176 bytes of the header record. The creation date and time are the
// local time of max(now, 86400).
void AppendHeaderRecord(RecordBuffer& out, const FileHeader& header,
                        const Dictionary& dict, const HeaderLayout& layout);

// One variable record per variable (names cut at 8 bytes, formats masked to
// their low 22 bits), each string wider than 8 followed by one continuation
// record per further slot.
void AppendVariableRecords(RecordBuffer& out, const Dictionary& dict);

// One value label record and one variable index record per value label map
// object (maps shared by several variables are written once, listing them
// all). Variables wider than 8 bytes are skipped: their labels travel in an
// extension record. Maps without labels are not written.
void AppendValueLabelRecords(RecordBuffer& out, const Dictionary& dict);

// The document record of the documents' whole 80-byte lines; nothing when
// the dictionary has no documents.
void AppendDocumentRecord(RecordBuffer& out, const Dictionary& dict);

// The non-empty records of `table` (indexed by subtype) from subtype 1 up.
// Returns the offset in `out` of the contents of the subtype 16 record, or
// -1 when none was written.
int64_t AppendExtensionRecords(
    RecordBuffer& out, const std::vector<SystemFileExtensionRecord>& table);

void AppendTerminationRecord(RecordBuffer& out);

}  // namespace vexa
