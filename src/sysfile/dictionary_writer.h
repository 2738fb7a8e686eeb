// Composing the dictionary part of a system file: the header record, the
// variable, value label, document and extension records and the termination
// record, in the byte layout of sysfile/layout.h. Records are appended to a
// RecordBuffer in the host's (little-endian) order; the writer sends the
// buffer to the file in one piece.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "dict/dictionary.h"
#include "io/stream.h"
#include "ext/extension_record.h"
#include "layout/file_header.h"

namespace vexa {

class RecordBuffer {
 public:
  // With a sink, Spill() hands what has gathered to it once it is large,
  // so that a wide dictionary goes out through one modest buffer.
  explicit RecordBuffer(VEXA_StrBaseIO* sink = nullptr) : sink_(sink) {}

  void I32(int32_t v) { Bytes(&v, sizeof v); }
  void I64(int64_t v) { Bytes(&v, sizeof v); }
  void F64(double v) { Bytes(&v, sizeof v); }
  void Bytes(const void* p, size_t n) {
    data_.append(static_cast<const char*>(p), n);
  }
  // `text` cut or padded with `pad` to exactly `width` bytes.
  void Field(std::string_view text, size_t width, char pad = ' ');
  // `pad` bytes up to the next multiple of `unit` of the buffer's size,
  // counted from `from`.
  void PadTo(size_t from, size_t unit, char pad);

  // Between records: writes the gathered bytes to the sink once they pass
  // kSpillAt. Raises ErrorText 1002 when the sink takes fewer.
  void Spill() {
    if (sink_ != nullptr && data_.size() >= kSpillAt) WriteOut();
  }
  // Writes whatever is gathered to the sink.
  void WriteOut();

  // Bytes appended so far, spilled ones included.
  size_t Size() const { return spilled_ + data_.size(); }
  // The bytes not yet spilled (all of them without a sink).
  const std::string& Data() const { return data_; }

 private:
  static constexpr size_t kSpillAt = size_t{1} << 18;

  VEXA_StrBaseIO* sink_;
  std::string data_;
  size_t spilled_ = 0;
};

// What the header record says beyond the file header and the dictionary.
struct HeaderLayout {
  int32_t nominal_case_size;  // slots per case in the file layout
  int32_t weight_index;       // 1-based slot of the weight variable, or 0
  std::time_t now;            // the moment of writing
};

// The 176 bytes of the header record. The creation date and time are the
// local time of max(now, 86400).
void AppendHeaderRecord(RecordBuffer& out, const FileHeader& header,
                        const Dictionary& dict, const HeaderLayout& layout);

// One variable record per variable (names cut at 8 bytes, formats masked to
// their low 22 bits), each string wider than 8 followed by one continuation
// record per further slot.
void AppendVariableRecords(RecordBuffer& out, const Dictionary& dict);

// One value label record and one variable index record per value label map
// object (maps shared by several variables are written once, listing them
// all). Variables wider than 8 bytes are skipped: their labels travel in an
// extension record. Maps without labels are not written.
void AppendValueLabelRecords(RecordBuffer& out, const Dictionary& dict);

// The document record of the documents' whole 80-byte lines; nothing when
// the dictionary has no documents.
void AppendDocumentRecord(RecordBuffer& out, const Dictionary& dict);

// The non-empty records of `table` (indexed by subtype) from subtype 1 up.
// Returns the offset in `out` of the contents of the subtype 16 record, or
// -1 when none was written.
int64_t AppendExtensionRecords(
    RecordBuffer& out, const std::vector<SystemFileExtensionRecord>& table);

void AppendTerminationRecord(RecordBuffer& out);

}  // namespace vexa
