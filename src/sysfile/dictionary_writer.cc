// The dictionary records as written; layouts in sysfile/layout.h:
//   variable record      2, type, has label, missing code, print, write,
//                        name[8], [label length, label padded to 4],
//                        [8 x |missing code| bytes]
//   continuation record  2, -1, 0, 0, 0x11D01, 0x11D01, 8 spaces
//   value label record   3, N, N x {value[8], length, text, spaces to 8}
//   variable index       4, M, M x 1-based slot
//   document record      6, N, N x 80 bytes
//   extension record     7, subtype, unit size, unit count, contents
//   termination record   999, 0
#include "sysfile/dictionary_writer.h"

#include <unordered_map>

#include "support/errors.h"
#include "sysfile/layout.h"

namespace vexa {
namespace {

constexpr uint32_t kStoredFormatMask = 0x3FFFFF;
constexpr int32_t kContinuationFormat = 0x11D01;
constexpr size_t kMaxValueLabelBytes = 255;
constexpr size_t kLabelUnit = 8;
constexpr size_t kVariableLabelUnit = 4;
constexpr int kSubtypeNCases = 16;

void AppendContinuationRecord(RecordBuffer& out) {
  out.I32(layout::kVariableRecord);
  out.I32(layout::kContinuationType);
  out.I32(0);
  out.I32(0);
  out.I32(kContinuationFormat);
  out.I32(kContinuationFormat);
  out.Field({}, layout::kVarNameSize);
}

void AppendVariableRecord(RecordBuffer& out, const VEXA_Variable& var) {
  out.I32(layout::kVariableRecord);
  out.I32(var.Type());
  out.I32(var.HasLabel() ? 1 : 0);
  const int code = var.MissingCode();
  out.I32(code);
  out.I32(static_cast<int32_t>(var.PrintFormat() & kStoredFormatMask));
  out.I32(static_cast<int32_t>(var.WriteFormat() & kStoredFormatMask));
  out.Field(var.Name(), layout::kVarNameSize);
  if (var.HasLabel()) {
    const std::string& label = var.Label();
    out.I32(static_cast<int32_t>(label.size()));
    const size_t from = out.Size();
    out.Bytes(label.data(), label.size());
    out.PadTo(from, kVariableLabelUnit, ' ');
  }
  const int values = code < 0 ? -code : code;
  for (int i = 0; i < values; ++i) {
    out.Bytes(var.MissingRaw()[static_cast<size_t>(i)].data(),
              layout::kMissingValueSize);
  }
}

void AppendLabels(RecordBuffer& out, const ValueLabelMap& map) {
  out.I32(layout::kValueLabelRecord);
  out.I32(map.Count());
  for (const VEXA_VLMapImpl::Entry& entry : map.Entries()) {
    out.Field(entry.key, layout::kValueSize, '\0');
    const size_t length = entry.label.size() < kMaxValueLabelBytes
                              ? entry.label.size()
                              : kMaxValueLabelBytes;
    const size_t from = out.Size();
    const uint8_t length_byte = static_cast<uint8_t>(length);
    out.Bytes(&length_byte, 1);
    out.Bytes(entry.label.data(), length);
    out.PadTo(from, kLabelUnit, ' ');
  }
}

bool HasWritableLabels(const VEXA_Variable& var) {
  return var.Type() <= 8 && var.ValueLabels().IsValid() &&
         var.ValueLabels().Count() > 0;
}

}  // namespace

void AppendVariableRecords(RecordBuffer& out, const Dictionary& dict) {
  for (int i = 0; i < dict.Count(); ++i) {
    const VEXA_Variable& var = dict.At(i);
    AppendVariableRecord(out, var);
    for (int s = 1; s < SlotsForType(var.Type()); ++s) {
      AppendContinuationRecord(out);
    }
    out.Spill();
  }
}

void AppendValueLabelRecords(RecordBuffer& out, const Dictionary& dict) {
  // The variables of each map object, in dictionary order. A map's entry
  // list lives in the map object, so its address names the object.
  std::unordered_map<const void*, std::vector<int>> holders;
  std::vector<const void*> order;
  for (int i = 0; i < dict.Count(); ++i) {
    const VEXA_Variable& var = dict.At(i);
    if (!HasWritableLabels(var)) continue;
    const void* object = &var.ValueLabels().Entries();
    std::vector<int>& list = holders[object];
    if (list.empty()) order.push_back(object);
    list.push_back(i);
  }
  for (const void* object : order) {
    const std::vector<int>& list = holders[object];
    const size_t nFound = list.size();
    VEXA_ASSERT(nFound);
    AppendLabels(out, dict.At(list.front()).ValueLabels());
    out.I32(layout::kVariableIndexRecord);
    out.I32(static_cast<int32_t>(nFound));
    for (int index : list) out.I32(dict.FirstSlot(index) + 1);
    out.Spill();
  }
}

void AppendDocumentRecord(RecordBuffer& out, const Dictionary& dict) {
  const VEXA_ExtensionImpl* docs = dict.Extensions().Get(kDocumentsType);
  if (docs == nullptr) return;
  const size_t lines = docs->contents.size() / layout::kDocumentLineSize;
  out.I32(layout::kDocumentRecord);
  out.I32(static_cast<int32_t>(lines));
  out.Bytes(docs->contents.data(), lines * layout::kDocumentLineSize);
}

int64_t AppendExtensionRecords(
    RecordBuffer& out, const std::vector<SystemFileExtensionRecord>& table) {
  int64_t ncases_offset = -1;
  for (size_t subtype = 1; subtype < table.size(); ++subtype) {
    const SystemFileExtensionRecord& rec = table[subtype];
    if (rec.Empty()) continue;
    VEXA_ASSERT(rec.Contents() != nullptr);
    out.I32(layout::kExtensionRecord);
    out.I32(static_cast<int32_t>(subtype));
    out.I32(rec.UnitSize());
    out.I32(rec.NUnits());
    if (subtype == kSubtypeNCases) ncases_offset = static_cast<int64_t>(out.Size());
    out.Bytes(rec.Contents(), rec.ByteSize());
    out.Spill();
  }
  return ncases_offset;
}

void AppendTerminationRecord(RecordBuffer& out) {
  out.I32(layout::kTerminationRecord);
  out.I32(0);
}

}  // namespace vexa
