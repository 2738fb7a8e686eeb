#include "dict/extension_store.h"

namespace vexa {

void ExtensionStore::Set(int type, int element_size, int64_t count,
                         const char* contents) {
  VEXA_ASSERT(type >= 0);
  VEXA_ASSERT(count >= 0);
  VEXA_ASSERT(count == 0 || contents != nullptr);
  if (count == 0) {
    entries_.erase(type);
    return;
  }
  const int64_t size = element_size < 1 ? 1 : element_size;
  // Always a new entry: dictionaries that share the old one keep it as it was.
  entries_[type] = RefPtr<VEXA_ExtensionImpl>::Make(
      type, static_cast<int>(size),
      std::string(contents, static_cast<size_t>(size * count)));
}

void ExtensionStore::Share(int type, const RefPtr<VEXA_ExtensionImpl>& entry) {
  VEXA_ASSERT(type >= 0);
  if (entry) {
    entries_[type] = entry;
  } else {
    entries_.erase(type);
  }
}

const VEXA_ExtensionImpl* ExtensionStore::Get(int type) const {
  const auto it = entries_.find(type);
  return it == entries_.end() ? nullptr : it->second.get();
}

RefPtr<VEXA_ExtensionImpl> ExtensionStore::GetRef(int type) const {
  const auto it = entries_.find(type);
  return it == entries_.end() ? RefPtr<VEXA_ExtensionImpl>() : it->second;
}

}  // namespace vexa
