// The dictionary's extension data store: per type number, the raw contents
// of an extension record (element size, bytes). Type 0 holds the documents as
// 80-byte lines; other types hold records that no handler interprets, and the
// contents that callers set through the raw extension calls. Entries are
// shared between dictionaries and never changed in place.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "support/ref_counted.h"

namespace vexa {

class VEXA_ExtensionImpl : public VEXA_RefCntObject {
 public:
  VEXA_ExtensionImpl(int type, int element_size, std::string contents)
      : type(type),
        element_size(element_size < 1 ? 1 : element_size),
        contents(std::move(contents)) {}

  int32_t type;
  int32_t element_size;  // at least 1
  std::string contents;  // element_size * element count bytes

  int64_t ElementCount() const {
    return static_cast<int64_t>(contents.size()) / element_size;
  }
};

constexpr int kDocumentsType = 0;
constexpr int kDocumentLineBytes = 80;

class ExtensionStore {
 public:
  // Stores a new entry (count > 0) or clears the type (count == 0).
  // REQUIRES: type >= 0, count >= 0, contents given exactly when count > 0.
  void Set(int type, int element_size, int64_t count, const char* contents);
  // Shares an existing entry (used when documents are copied between files).
  void Share(int type, const RefPtr<VEXA_ExtensionImpl>& entry);
  // The entry of a type, or null.
  const VEXA_ExtensionImpl* Get(int type) const;
  RefPtr<VEXA_ExtensionImpl> GetRef(int type) const;
  // Entries in ascending type order.
  const std::map<int, RefPtr<VEXA_ExtensionImpl>>& Entries() const {
    return entries_;
  }

 private:
  // Indexed by type. A map rather than a vector so that a large subtype
  // number in a file costs one entry, not a table as large as the number.
  std::map<int, RefPtr<VEXA_ExtensionImpl>> entries_;
};

}  // namespace vexa
