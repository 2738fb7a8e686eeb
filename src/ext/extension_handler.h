// SystemFileExtensionHandler: the interface that the handler of one
// extension record subtype implements. Handlers are stateless singletons
// listed in the registry (ext/registry.cc). They see the file through the
// two narrow contexts below, never the reader's or the writer's insides.
#pragma once

#include "dict/dictionary.h"
#include "ext/extension_record.h"
#include "layout/file_header.h"
#include "layout/write_plan.h"

namespace vexa {

// What a record read from a file may change.
struct ExtensionReadContext {
  Dictionary& dictionary;
  FileHeader& header;
  // (short name, long name) pairs of the long names record, in its order.
  NamePairs& name_table;
};

// What a record written at the header commit is made from. Nothing here
// changes: handlers encode, in any order.
struct ExtensionWriteContext {
  const Dictionary& dictionary;  // the caller's, as committed
  const WritePlan& plan;
  const FileHeader& header;
};

class SystemFileExtensionHandler {
 public:
  virtual ~SystemFileExtensionHandler() = default;

  // Fills an empty record from the plan, or leaves it empty when there is
  // nothing to say.
  virtual void WriteRecord(const ExtensionWriteContext& file,
                           SystemFileExtensionRecord& rec) const = 0;

  // Checks a record read from a file and applies it to the dictionary and the
  // header. A record it cannot accept raises SystemFileException
  // kErrBadStructure with a sentence about the values at fault; the dictionary
  // reader adds the record's place.
  virtual void ReadRecord(ExtensionReadContext& file,
                          const SystemFileExtensionRecord& rec) const = 0;
};

}  // namespace vexa
