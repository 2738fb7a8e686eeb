// SystemFileExtensionHandler: the interface that the handler of one
// extension record subtype implements. Handlers are stateless singletons
// listed in the registry (ext/registry.cc).
#pragma once

#include "ext/extension_record.h"

namespace vexa {

class SystemFileDataSource;
struct ReaderState;

class SystemFileExtensionHandler {
 public:
  virtual ~SystemFileExtensionHandler() = default;

  // The write side (filling an empty record from the writer's dictionary) is
  // added together with the writer.

  // Checks a record read from a file and applies it to the data source's
  // dictionary and header. A record it cannot accept raises
  // SystemFileException 1204 with the failed condition's text.
  virtual void ReadRecord(SystemFileDataSource& source, ReaderState& state,
                          const SystemFileExtensionRecord& rec) const = 0;
};

}  // namespace vexa
