// SystemFileExtensionHandler: the interface that the handler of one
// extension record subtype implements. Handlers are stateless singletons
// listed in the registry (ext/registry.cc).
#pragma once

#include "ext/extension_record.h"
#include "sysfile/system_file_data_source.h"

namespace vexa {

struct ReaderState;

class SystemFileExtensionHandler {
 public:
  virtual ~SystemFileExtensionHandler() = default;

  // Fills an empty record from the writer's dictionary, or leaves it empty
  // when there is nothing to say. May change the writer's dictionary copy
  // (records are built from the highest subtype down, so each sees the
  // changes of the higher ones).
  virtual void WriteRecord(SystemFileDataSource::SaveDS& writer,
                           SystemFileExtensionRecord& rec) const = 0;

  // Checks a record read from a file and applies it to the data source's
  // dictionary and header. A record it cannot accept raises
  // SystemFileException 1204 with a sentence about the values at fault; the
  // dictionary reader adds the record's place.
  virtual void ReadRecord(SystemFileDataSource& source, ReaderState& state,
                          const SystemFileExtensionRecord& rec) const = 0;
};

}  // namespace vexa
