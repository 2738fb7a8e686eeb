#include "ext/registry.h"

#include "ext/handlers.h"

namespace vexa {
namespace {

struct RegistryEntry {
  int subtype;
  const SystemFileExtensionHandler& (*handler)();
};

// Every subtype with a handler. Subtypes missing here are kept raw.
constexpr RegistryEntry kRegistry[] = {
    {3, &handlers::MachineInteger},
    {4, &handlers::MachineFloat},
    {11, &handlers::Display},
    {13, &handlers::LongNames},
    {14, &handlers::VeryLongStrings},
    {16, &handlers::CaseCount},
    {21, &handlers::LongStringLabels},
};

}  // namespace

const SystemFileExtensionHandler* FindExtensionHandler(int subtype) {
  for (const RegistryEntry& e : kRegistry) {
    if (e.subtype == subtype) return &e.handler();
  }
  return nullptr;
}

void DispatchExtensionRead(int subtype, ExtensionReadContext& file,
                           const SystemFileExtensionRecord& rec) {
  VEXA_ASSERT(subtype >= 0);
  if (const SystemFileExtensionHandler* h = FindExtensionHandler(subtype)) {
    h->ReadRecord(file, rec);
  } else {
    VEXA_ASSERT(rec.Contents() != nullptr);
    file.dictionary.Extensions().Set(subtype, rec.UnitSize(),
                                            rec.NUnits(), rec.Contents());
  }
  if (subtype < static_cast<int>(file.header.subtypes_seen.size())) {
    file.header.subtypes_seen.set(static_cast<size_t>(subtype));
  }
}

void DispatchExtensionWrite(int subtype, const ExtensionWriteContext& file,
                            SystemFileExtensionRecord& rec) {
  VEXA_ASSERT(subtype >= 1 && rec.Empty());
  if (const SystemFileExtensionHandler* h = FindExtensionHandler(subtype)) {
    h->WriteRecord(file, rec);
    return;
  }
  const VEXA_ExtensionImpl* raw = file.dictionary.Extensions().Get(subtype);
  if (raw == nullptr || raw->ElementCount() == 0) return;
  rec.SetUnitSize(raw->element_size);
  rec.SetNUnits(static_cast<int32_t>(raw->ElementCount()));
  rec.CopyIn(raw->contents.data());
}

}  // namespace vexa
