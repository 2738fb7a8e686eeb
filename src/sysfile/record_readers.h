// The readers of the individual dictionary records, called by the
// dictionary reader once the record type has been read.
#pragma once

#include "dict/dictionary.h"
#include "sysfile/reader_state.h"
#include "sysfile/record_input.h"

namespace vexa {

class SystemFileDataSource;

// Variable record (type 2): adds the variable to the dictionary; a
// continuation record (type -1) is read and dropped.
void ReadVariableRecord(RecordInput& in, Dictionary& dictionary);

// Value label record (type 3) and the variable index record (type 4) that
// follows it: gives one shared map to every variable listed.
void ReadValueLabelRecord(RecordInput& in, const ReaderState& state,
                          Dictionary& dictionary);

}  // namespace vexa
