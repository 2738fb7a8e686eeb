// SysFileBuilder: composes a system file record by record, in either byte
// order, for tests and for the sample file. Well-formed records come from
// the typed calls (Header, NumericVar, StringVar, ValueLabels, Document,
// Extension, MachineInfo, End, case values); malformed ones from the raw
// calls (Int32, Double, Text, Raw) and the damage helpers, which work on the
// bytes composed so far.
//
//   std::string file = SysFileBuilder()
//                          .Header({.label = "survey"})
//                          .NumericVar("age", {.label = "Age in years"})
//                          .StringVar("city", 20)
//                          .NumericLabels({{1, "one"}}, {1})
//                          .End()
//                          .Bytes();
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexa::testing {

// The fields of the header record. nominal_case_size -1 is replaced by the
// slot count of the variables added.
struct HeaderFields {
  std::string magic = "$FL2";
  std::string product = "@(#) test fixture";
  int32_t layout_code = 2;
  int32_t nominal_case_size = -1;
  int32_t compression = 0;
  int32_t weight_index = 0;
  int32_t case_count = -1;
  double bias = 100.0;
  std::string date = "05 Jan 70";
  std::string time = "13:45:10";
  std::string label = {};
};

// Optional parts of a variable record. Formats of 0 mean the defaults (F8.2
// for numerics, A<width> for strings). Missing values: `missing_code`
// with numbers for numerics or 8-byte texts for strings.
struct VarOptions {
  std::optional<std::string> label = {};
  int32_t missing_code = 0;
  std::vector<double> missing = {};
  std::vector<std::string> missing_text = {};
  uint32_t print_format = 0;
  uint32_t write_format = 0;
};

// One 8-byte slot of case data for CompressedCases: a number, stored in the
// builder's byte order, or 8 bytes of text (blank padded, never swapped).
struct CaseSlot {
  static CaseSlot Number(double value);
  static CaseSlot Text(std::string_view text);
  std::array<char, 8> bytes;  // host order for a number
  bool numeric;
};

class SysFileBuilder {
 public:
  explicit SysFileBuilder(bool big_endian = false) : big_endian_(big_endian) {}

  // --- Well-formed records ---
  SysFileBuilder& Header(const HeaderFields& fields = {});
  SysFileBuilder& NumericVar(std::string_view name, const VarOptions& opts = {});
  // Writes the variable record and ceil(width / 8) - 1 continuation records.
  SysFileBuilder& StringVar(std::string_view name, int width, const VarOptions& opts = {});
  // Value label record (type 3) and its index record (type 4). Values are
  // given as doubles (numeric maps), texts of up to 8 bytes (string maps,
  // blank padded) or raw 8-byte units. `slots` are 1-based slot numbers.
  SysFileBuilder& NumericLabels(const std::vector<std::pair<double, std::string>>& labels,
                                const std::vector<int32_t>& slots);
  SysFileBuilder& StringLabels(const std::vector<std::pair<std::string, std::string>>& labels,
                               const std::vector<int32_t>& slots);
  // Document record; each line is blank padded (or cut) to 80 bytes.
  SysFileBuilder& Document(const std::vector<std::string>& lines);
  // Extension record with its contents as given (not byte-swapped).
  SysFileBuilder& Extension(int32_t subtype, int32_t size, int32_t count, std::string_view bytes);
  // The same, counting the contents in units of `size` (1: bytes).
  SysFileBuilder& Extension(int32_t subtype, std::string_view bytes, int32_t size = 1) {
    return Extension(subtype, size, static_cast<int32_t>(bytes.size()) / size, bytes);
  }
  // Machine integer (subtype 3) and floating-point (subtype 4) records,
  // in the builder's byte order.
  SysFileBuilder& MachineInts(const std::array<int32_t, 8>& units);
  SysFileBuilder& MachineInts();  // 24 0 0 720 1 1 endianness 2
  SysFileBuilder& MachineFloats(const std::array<double, 3>& units);
  SysFileBuilder& MachineFloats();  // sysmis, highest, lowest
  SysFileBuilder& End();            // type 999 and its filler

  // --- Case data (uncompressed) ---
  SysFileBuilder& CaseNumber(double value) { return Double(value); }
  // The text blank padded to ceil(width / 8) slots.
  SysFileBuilder& CaseText(std::string_view text, int width);

  // --- Case data (byte-code compressed) ---
  // The cases' slots as a writer on a machine of the builder's byte order
  // compresses them: complete blocks, the last one filled with code 0.
  SysFileBuilder& CompressedCases(const std::vector<std::vector<CaseSlot>>& cases);
  // --- The zlib form (header magic "$FL3", compression 2) ---
  // The byte-code data composed after the termination record, in the zlib
  // form of ZlibForm.
  SysFileBuilder& ZlibCases(int32_t block_size = 4190208);

  // --- Raw pieces, in the builder's byte order ---
  SysFileBuilder& Int32(int32_t value);
  SysFileBuilder& Int64(int64_t value);
  SysFileBuilder& Double(double value);
  SysFileBuilder& Raw(std::string_view bytes);
  // The text blank padded (or cut) to `width` bytes.
  SysFileBuilder& Text(std::string_view text, size_t width);

  // The offset where the next record starts.
  size_t Offset() const { return bytes_.size(); }
  // The file, with the header's nominal case size filled in when asked.
  std::string Bytes() const;

 private:
  SysFileBuilder& Variable(std::string_view name, int32_t type, const VarOptions& opts);
  SysFileBuilder& Labels(const std::vector<std::pair<std::string, std::string>>& raw_labels,
                         const std::vector<int32_t>& slots);
  std::string EncodeDouble(double value) const;

  bool big_endian_;
  std::string bytes_;
  int32_t slots_ = 0;
  bool auto_case_size_ = false;
  size_t header_offset_ = 0;
  size_t cases_offset_ = 0;  // after the termination record
};

// A header and the variables a (numeric), s (A20: slots 2-4) and b (numeric).
SysFileBuilder ThreeVariables(bool big_endian = false, const HeaderFields& header = {});

// Case data in the zlib form, as a writer of the given byte order lays it
// out from file position `case_start`: the 24-byte zlib header, the data
// cut into blocks of `block_size` bytes (the last one shorter), each one
// zlib stream deflated at level 1, and the block index.
std::string ZlibForm(std::string_view data, int64_t case_start, int32_t block_size,
                     bool big_endian = false);

// The text blank padded (or cut) to `width` bytes.
std::string Padded(std::string_view text, size_t width);

// The text `times` times over.
std::string Repeat(std::string_view unit, int times);

// The 8 raw bytes of a double in host order.
std::string DoubleBytes(double value);

// The value of type T stored in host order at `offset`.
template <typename T>
T ValueAt(std::string_view bytes, size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// 32-bit integers as a file of the given byte order holds them.
std::string Ints(const std::vector<int32_t>& values, bool big_endian = false);

}  // namespace vexa::testing
