#include "ext/registry.h"

#include "ext/handlers.h"

namespace vexa {
namespace {

struct RegistryEntry {
  int subtype;
  const SystemFileExtensionHandler& (*handler)();
  const char* name;
};

// Every subtype with a handler. Subtypes missing here are kept raw.
constexpr RegistryEntry kRegistry[] = {
    {3, &handlers::MachineInteger, "machine integer information"},
    {4, &handlers::MachineFloat, "machine floating-point information"},
    {5, &handlers::VariableSets, "variable sets"},
    {7, &handlers::PlainMrSets, "multiple-response sets"},
    {11, &handlers::Display, "display properties"},
    {13, &handlers::LongNames, "long variable names"},
    {14, &handlers::VeryLongStrings, "very long strings"},
    {16, &handlers::CaseCount, "extended case count"},
    {17, &handlers::DatasetAttributes, "data file attributes"},
    {18, &handlers::VariableAttributes, "variable attributes"},
    {19, &handlers::ExtendedMrSets, "extended multiple-response sets"},
    {20, &handlers::Encoding, "character encoding"},
    {21, &handlers::LongStringLabels, "long string value labels"},
};

const RegistryEntry* FindEntry(int subtype) {
  for (const RegistryEntry& e : kRegistry) {
    if (e.subtype == subtype) return &e;
  }
  return nullptr;
}

}  // namespace

const SystemFileExtensionHandler* FindExtensionHandler(int subtype) {
  const RegistryEntry* e = FindEntry(subtype);
  return e ? &e->handler() : nullptr;
}

const char* ExtensionName(int subtype) {
  const RegistryEntry* e = FindEntry(subtype);
  return e ? e->name : nullptr;
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
