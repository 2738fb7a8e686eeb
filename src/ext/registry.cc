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
    {6, &handlers::DateInfoRecord, "date variables information"},
    {7, &handlers::PlainMrSets, "multiple-response sets"},
    {11, &handlers::LWA, "display properties"},
    {13, &handlers::LongNames, "long variable names"},
    {14, &handlers::VeryLongStrings, "very long strings"},
    {16, &handlers::CaseCount, "extended case count"},
    {17, &handlers::DatasetAttributes, "data file attributes"},
    {18, &handlers::VariableAttributes, "variable attributes"},
    {19, &handlers::ExtendedMrSets, "extended multiple-response sets"},
    {20, &handlers::Encoding, "character encoding"},
    {21, &handlers::LongStringLabels, "long string value labels"},
    {23, &handlers::SortKey, "sort key"},
    {24, &handlers::DataEntry, "data entry formatting"},
    {25, &handlers::ExtendedFormats, "extended formats"},
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

namespace {

// Subtypes that callers may also set raw (23 to 25). Read, their handler
// applies them and the raw contents are kept as well, so the raw calls see
// them. Written, the handler's record wins when it has one; otherwise the
// caller's raw contents are written, but only when the handler accepts
// them, so that the file stays readable.
bool AlsoRaw(int subtype) { return subtype >= 23 && subtype <= 25; }

// The sort key and data entry texts of 0 or 1 byte say nothing: reading
// ignores them, and they are not kept to be written again.
bool SaysNothing(int subtype, size_t bytes) {
  return (subtype == 23 || subtype == 24) && bytes <= 1;
}

}  // namespace

void DispatchExtensionRead(int subtype, ExtensionReadContext& file,
                           const SystemFileExtensionRecord& rec) {
  VEXA_ASSERT(subtype >= 0);
  if (const SystemFileExtensionHandler* h = FindExtensionHandler(subtype)) {
    h->ReadRecord(file, rec);
    if (AlsoRaw(subtype) && rec.NUnits() > 0 && !SaysNothing(subtype, rec.ByteSize())) {
      file.dictionary.Extensions().Set(subtype, rec.UnitSize(), rec.NUnits(), rec.Contents());
    }
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
  const SystemFileExtensionHandler* h = FindExtensionHandler(subtype);
  if (h != nullptr) {
    h->WriteRecord(file, rec);
    if (!rec.Empty() || !AlsoRaw(subtype)) return;
  }
  const VEXA_ExtensionImpl* raw = file.dictionary.Extensions().Get(subtype);
  if (raw == nullptr || raw->ElementCount() == 0) return;
  if (h != nullptr) {
    SystemFileExtensionRecord probe;
    probe.SetUnitSize(raw->element_size);
    probe.SetNUnits(static_cast<int32_t>(raw->ElementCount()));
    probe.CopyIn(raw->contents.data());
    Dictionary scratch = file.dictionary;
    FileHeader header = file.header;
    header.byte_swapped = false;
    NamePairs names;
    ExtensionReadContext check{scratch, header, names};
    try {
      h->ReadRecord(check, probe);
    } catch (const SystemFileException&) {
      return;  // not readable: left out
    }
  }
  rec.SetUnitSize(raw->element_size);
  rec.SetNUnits(static_cast<int32_t>(raw->ElementCount()));
  rec.CopyIn(raw->contents.data());
}

}  // namespace vexa
