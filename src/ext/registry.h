// The extension handler registry: one handler per subtype, from a constant
// table, the read dispatch that the dictionary reader uses for every
// extension record and the write dispatch of the header commit.
#pragma once

#include "ext/extension_handler.h"
#include "ext/extension_record.h"

namespace vexa {

// The handler registered for a subtype, or null.
const SystemFileExtensionHandler* FindExtensionHandler(int subtype);

// What the records of a subtype with a handler hold ("long variable
// names"), for error sentences; null for other subtypes.
const char* ExtensionName(int subtype);

// Hands a record read from a file to its handler; a subtype without one is
// stored unchanged in the dictionary's extension data under the subtype
// (replacing earlier contents). Marks subtypes 0-99 as seen in the header.
// REQUIRES: subtype >= 0 and the record has contents.
void DispatchExtensionRead(int subtype, ExtensionReadContext& file,
                           const SystemFileExtensionRecord& rec);

// Fills an empty record for the writer: the subtype's handler writes it;
// without a handler the raw contents that the writer's dictionary keeps for
// the subtype are copied in; otherwise the record stays empty.
// REQUIRES: subtype >= 1 and the record is empty.
void DispatchExtensionWrite(int subtype, const ExtensionWriteContext& file,
                            SystemFileExtensionRecord& rec);

}  // namespace vexa
