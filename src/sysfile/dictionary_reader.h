// The dictionary reader: reads the records that follow the header, from the
// first variable record to the termination record, into the data source's
// dictionary and header, then repairs the names.
#pragma once

#include "io/stream.h"
#include "layout/file_header.h"

namespace vexa {

class SystemFileDataSource;

// Reads every record up to and including the termination record and leaves the
// stream at the first byte of the case data. Fills the dictionary (variables,
// value labels, documents, raw extension data, weight) and the header (nominal
// case size, numeric swap map, subtypes seen, the position of the case count
// record's contents). Raises SystemFileException kErrBadStructure for a record
// that is not valid and kErrTruncated for a file that ends inside one; nothing
// allocated from a length in the file exceeds what the rest of the stream can
// hold.
void ReadDictionary(SystemFileDataSource& source, VEXA_StrBaseIO& stream,
                    FileHeader& header);

}  // namespace vexa
