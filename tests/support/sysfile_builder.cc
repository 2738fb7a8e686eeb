#include "support/sysfile_builder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include <zlib.h>

#include "sysfile/bytecode.h"

namespace vexa::testing {
namespace {

constexpr size_t kNominalCaseSizeOffset = 68;
constexpr size_t kLineSize = 80;

uint32_t DefaultFormat(int32_t type) {
  if (type == 0) return 0x050802;  // F8.2
  return (1u << 16) | (static_cast<uint32_t>(type & 0xFF) << 8) |
         static_cast<uint32_t>(type >> 8);
}

}  // namespace

std::string Padded(std::string_view text, size_t width) {
  std::string out(text.substr(0, std::min(text.size(), width)));
  out.resize(width, ' ');
  return out;
}

std::string Repeat(std::string_view unit, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += unit;
  return text;
}

std::string DoubleBytes(double value) {
  std::string out(8, '\0');
  std::memcpy(out.data(), &value, 8);
  return out;
}

std::string Ints(const std::vector<int32_t>& values, bool big_endian) {
  SysFileBuilder b(big_endian);
  for (int32_t v : values) b.Int32(v);
  return b.Bytes();
}

std::string SysFileBuilder::EncodeDouble(double value) const {
  std::string out = DoubleBytes(value);
  if (big_endian_) std::reverse(out.begin(), out.end());
  return out;
}

SysFileBuilder& SysFileBuilder::Int32(int32_t value) {
  char b[4];
  std::memcpy(b, &value, 4);
  if (big_endian_) std::reverse(b, b + 4);
  return Raw(std::string_view(b, 4));
}

SysFileBuilder& SysFileBuilder::Int64(int64_t value) {
  return Double(std::bit_cast<double>(value));
}

SysFileBuilder& SysFileBuilder::Double(double value) { return Raw(EncodeDouble(value)); }

SysFileBuilder& SysFileBuilder::Raw(std::string_view bytes) {
  bytes_.append(bytes);
  return *this;
}

SysFileBuilder& SysFileBuilder::Text(std::string_view text, size_t width) {
  return Raw(Padded(text, width));
}

SysFileBuilder& SysFileBuilder::Header(const HeaderFields& f) {
  header_offset_ = bytes_.size();
  auto_case_size_ = f.nominal_case_size == -1;
  Text(f.magic, 4).Text(f.product, 60);
  Int32(f.layout_code).Int32(f.nominal_case_size).Int32(f.compression);
  Int32(f.weight_index).Int32(f.case_count).Double(f.bias);
  Text(f.date, 9).Text(f.time, 8).Text(f.label, 64);
  return Raw(std::string(3, '\0'));
}

SysFileBuilder& SysFileBuilder::Variable(std::string_view name, int32_t type, const VarOptions& o) {
  Int32(2).Int32(type).Int32(o.label ? 1 : 0).Int32(o.missing_code);
  Int32(static_cast<int32_t>(o.print_format ? o.print_format : DefaultFormat(type)));
  Int32(static_cast<int32_t>(o.write_format ? o.write_format : DefaultFormat(type)));
  Text(name, 8);
  if (o.label) {
    Int32(static_cast<int32_t>(o.label->size()));
    Text(*o.label, (o.label->size() + 3) / 4 * 4);
  }
  for (double v : o.missing) Double(v);
  for (const std::string& t : o.missing_text) Text(t, 8);
  return *this;
}

SysFileBuilder& SysFileBuilder::NumericVar(std::string_view name, const VarOptions& opts) {
  slots_ += 1;
  return Variable(name, 0, opts);
}

SysFileBuilder& SysFileBuilder::StringVar(std::string_view name, int width, const VarOptions& o) {
  Variable(name, width, o);
  int slots = std::max(1, (width + 7) / 8);
  slots_ += slots;
  for (int i = 1; i < slots; ++i) {
    Int32(2).Int32(-1).Int32(0).Int32(0).Int32(0).Int32(0).Text("", 8);
  }
  return *this;
}

SysFileBuilder& SysFileBuilder::Labels(
    const std::vector<std::pair<std::string, std::string>>& raw_labels,
    const std::vector<int32_t>& slots) {
  Int32(3).Int32(static_cast<int32_t>(raw_labels.size()));
  for (const auto& [value, label] : raw_labels) {
    if (value.size() != 8) throw std::invalid_argument("value of 8 bytes");
    if (label.size() > 255) throw std::invalid_argument("label too long");
    Raw(value);
    bytes_.push_back(static_cast<char>(label.size()));
    Text(label, (label.size() + 8) / 8 * 8 - 1);
  }
  Int32(4).Int32(static_cast<int32_t>(slots.size()));
  for (int32_t s : slots) Int32(s);
  return *this;
}

SysFileBuilder& SysFileBuilder::NumericLabels(
    const std::vector<std::pair<double, std::string>>& labels,
    const std::vector<int32_t>& slots) {
  std::vector<std::pair<std::string, std::string>> raw;
  for (const auto& [v, l] : labels) raw.emplace_back(EncodeDouble(v), l);
  return Labels(raw, slots);
}

SysFileBuilder& SysFileBuilder::StringLabels(
    const std::vector<std::pair<std::string, std::string>>& labels,
    const std::vector<int32_t>& slots) {
  std::vector<std::pair<std::string, std::string>> raw;
  for (const auto& [v, l] : labels) raw.emplace_back(Padded(v, 8), l);
  return Labels(raw, slots);
}

SysFileBuilder& SysFileBuilder::Document(const std::vector<std::string>& lines) {
  Int32(6).Int32(static_cast<int32_t>(lines.size()));
  for (const std::string& line : lines) Text(line, kLineSize);
  return *this;
}

SysFileBuilder& SysFileBuilder::Extension(int32_t subtype, int32_t size, int32_t count,
                                          std::string_view bytes) {
  return Int32(7).Int32(subtype).Int32(size).Int32(count).Raw(bytes);
}

SysFileBuilder& SysFileBuilder::MachineInts(const std::array<int32_t, 8>& u) {
  Int32(7).Int32(3).Int32(4).Int32(8);
  for (int32_t v : u) Int32(v);
  return *this;
}

SysFileBuilder& SysFileBuilder::MachineInts() {
  return MachineInts({24, 0, 0, 720, 1, 1, big_endian_ ? 1 : 2, 2});
}

SysFileBuilder& SysFileBuilder::MachineFloats(const std::array<double, 3>& u) {
  Int32(7).Int32(4).Int32(8).Int32(3);
  for (double v : u) Double(v);
  return *this;
}

SysFileBuilder& SysFileBuilder::MachineFloats() {
  return MachineFloats({std::bit_cast<double>(0xFFEFFFFFFFFFFFFFull),
                        std::bit_cast<double>(0x7FEFFFFFFFFFFFFFull),
                        std::bit_cast<double>(0xFFEFFFFFFFFFFFFEull)});
}

SysFileBuilder& SysFileBuilder::End() {
  Int32(999).Int32(0);
  cases_offset_ = bytes_.size();
  return *this;
}

SysFileBuilder& SysFileBuilder::CaseText(std::string_view text, int width) {
  return Text(text, static_cast<size_t>(std::max(1, (width + 7) / 8)) * 8);
}

CaseSlot CaseSlot::Number(double value) {
  CaseSlot slot{{}, true};
  std::memcpy(slot.bytes.data(), &value, 8);
  return slot;
}

CaseSlot CaseSlot::Text(std::string_view text) {
  CaseSlot slot{{}, false};
  std::string padded = Padded(text, 8);
  std::memcpy(slot.bytes.data(), padded.data(), 8);
  return slot;
}

SysFileBuilder& SysFileBuilder::CompressedCases(const std::vector<std::vector<CaseSlot>>& cases) {
  std::string control, literals;
  auto emit = [&] {
    control.resize(kKeySize, static_cast<char>(kCodeFiller));
    bytes_ += control + literals;
    control.clear();
    literals.clear();
  };
  for (const std::vector<CaseSlot>& slots : cases) {
    for (const CaseSlot& slot : slots) {
      // The bytes as stored, and the value that their writer classified:
      // the stored bytes read in the writer's own byte order.
      std::string stored(slot.bytes.data(), 8);
      if (big_endian_ && slot.numeric) std::reverse(stored.begin(), stored.end());
      uint64_t seen;
      std::memcpy(&seen, stored.data(), 8);
      if (big_endian_) seen = __builtin_bswap64(seen);
      const uint8_t code = EncodeSlot(seen);
      control.push_back(static_cast<char>(code));
      if (code == kCodeLiteral) literals += stored;
      if (control.size() == kKeySize) emit();
    }
  }
  if (!control.empty()) emit();
  return *this;
}

SysFileBuilder& SysFileBuilder::ZlibCases(int32_t block_size) {
  const std::string data = bytes_.substr(cases_offset_);
  bytes_.resize(cases_offset_);
  bytes_ += ZlibForm(data, static_cast<int64_t>(cases_offset_), block_size, big_endian_);
  return *this;
}

SysFileBuilder ThreeVariables(bool big_endian, const HeaderFields& header) {
  SysFileBuilder b(big_endian);
  b.Header(header).NumericVar("a").StringVar("s", 20).NumericVar("b");
  return b;
}

std::string ZlibForm(std::string_view data, int64_t case_start, int32_t block_size,
                     bool big_endian) {
  SysFileBuilder blocks(big_endian), index(big_endian), head(big_endian);
  const size_t size = static_cast<size_t>(block_size);
  const auto count = static_cast<int32_t>((data.size() + size - 1) / size);
  index.Int64(-100).Int64(0).Int32(block_size).Int32(count);
  for (size_t at = 0; at < data.size(); at += size) {
    const size_t n = std::min(size, data.size() - at);
    std::string z(compressBound(n), '\0');
    uLongf got = z.size();
    compress2(reinterpret_cast<Bytef*>(z.data()), &got,
              reinterpret_cast<const Bytef*>(data.data() + at), n, 1);
    index.Int64(case_start + static_cast<int64_t>(at))
        .Int64(case_start + 24 + static_cast<int64_t>(blocks.Offset()))
        .Int32(static_cast<int32_t>(n))
        .Int32(static_cast<int32_t>(got));
    blocks.Raw(std::string_view(z).substr(0, got));
  }
  head.Int64(case_start).Int64(case_start + 24 + static_cast<int64_t>(blocks.Offset()));
  head.Int64(static_cast<int64_t>(index.Offset()));
  return head.Bytes() + blocks.Bytes() + index.Bytes();
}

std::string SysFileBuilder::Bytes() const {
  std::string out = bytes_;
  const size_t at = header_offset_ + kNominalCaseSizeOffset;
  if (auto_case_size_ && at + 4 <= out.size()) out.replace(at, 4, Ints({slots_}, big_endian_));
  return out;
}

}  // namespace vexa::testing
