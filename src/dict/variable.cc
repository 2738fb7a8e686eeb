#include "dict/variable.h"

#include <atomic>
#include <cstring>

#include "dict/format_code.h"
#include "dict/names.h"

namespace vexa {
namespace {

// Flag layout: bits 0-7 missing-value code (signed), bits 9-12 measurement
// level, bits 13-14 alignment.
constexpr uint32_t kMissingMask = 0xFFu;
constexpr int kMeasureShift = 9;
constexpr uint32_t kMeasureMask = 0xFu << kMeasureShift;
constexpr int kAlignShift = 13;
constexpr uint32_t kAlignMask = 0x3u << kAlignShift;

constexpr int kNumericDisplayWidth = 8;
constexpr int kMaxDefaultDisplayWidth = 50;

// Ids are a process-wide serial shifted left by four with a fixed tag. The
// tag keeps every id distinct from the all-ones "no weight" value.
constexpr uint32_t kIdTag = 0x5;
std::atomic<uint32_t> g_next_serial{1};

uint32_t NextVariableId() {
  return (g_next_serial.fetch_add(1, std::memory_order_relaxed) << 4) | kIdTag;
}

void CheckType(int type) {
  VEXA_ASSERT(0 <= type && type <= kMaxStringWidth);
}

// The format after a type change: a hex-string format follows the new width
// while it still fits; anything else becomes the new type's default.
uint32_t FormatForNewType(uint32_t packed, int type) {
  const Format f = UnpackFormat(packed);
  if (f.type == kFormatHexString && type > 0 && 2 * type < 254) {
    return PackFormat({static_cast<uint16_t>(2 * type), kFormatHexString, 0});
  }
  return DefaultFormat(type);
}

}  // namespace

VEXA_VariableImpl::VEXA_VariableImpl(int type)
    : print_format(DefaultFormat(type)),
      write_format(DefaultFormat(type)),
      type(static_cast<int16_t>(type)),
      display_width(static_cast<int16_t>(
          type == kNumericType ? kNumericDisplayWidth
                    : (type > kMaxDefaultDisplayWidth ? kMaxDefaultDisplayWidth
                                                      : type))),
      id(NextVariableId()) {
  const bool numeric = type == kNumericType;
  const uint32_t measure = numeric ? 0 : 1;
  const uint32_t align = numeric ? 1 : 0;
  flags = (measure << kMeasureShift) | (align << kAlignShift);
}

VEXA_Variable::VEXA_Variable(int type) {
  CheckType(type);
  impl_ = RefPtr<VEXA_VariableImpl>::Make(type);
}

const VEXA_VariableImpl& VEXA_Variable::impl() const {
  VEXA_ASSERT(impl_.IsValid());
  return *impl_;
}

VEXA_VariableImpl& VEXA_Variable::mut() {
  impl();  // validity check
  return *impl_.Mutable();
}

uint32_t VEXA_Variable::Id() const { return impl().id; }
const std::string& VEXA_Variable::Name() const { return impl().name; }
const std::string& VEXA_Variable::NameKey() const { return impl().name_key; }

void VEXA_Variable::SetName(std::string_view name) {
  VEXA_VariableImpl& v = mut();
  v.name.assign(name);
  v.name_key = vexa::NameKey(name);
}

int VEXA_Variable::Type() const { return impl().type; }

void VEXA_Variable::SetType(int type) {
  CheckType(type);
  if (type == impl().type) return;
  VEXA_VariableImpl& v = mut();
  v.print_format = FormatForNewType(v.print_format, type);
  v.write_format = FormatForNewType(v.write_format, type);
  v.type = static_cast<int16_t>(type);
}

bool VEXA_Variable::HasLabel() const { return impl().has_label; }
const std::string& VEXA_Variable::Label() const { return impl().label; }

void VEXA_Variable::SetLabel(std::string_view label) {
  VEXA_VariableImpl& v = mut();
  v.has_label = true;
  v.label.assign(label);
}

void VEXA_Variable::ClearLabel() {
  VEXA_VariableImpl& v = mut();
  v.has_label = false;
  v.label.clear();
}

uint32_t VEXA_Variable::PrintFormat() const { return impl().print_format; }
uint32_t VEXA_Variable::WriteFormat() const { return impl().write_format; }
void VEXA_Variable::SetPrintFormat(uint32_t packed) {
  mut().print_format = packed;
}
void VEXA_Variable::SetWriteFormat(uint32_t packed) {
  mut().write_format = packed;
}

int VEXA_Variable::DisplayWidth() const { return impl().display_width; }
void VEXA_Variable::SetDisplayWidth(int width) {
  mut().display_width = static_cast<int16_t>(width);
}

int VEXA_Variable::Alignment() const {
  return static_cast<int>((impl().flags & kAlignMask) >> kAlignShift);
}
void VEXA_Variable::SetAlignment(int alignment) {
  VEXA_VariableImpl& v = mut();
  v.flags = (v.flags & ~kAlignMask) |
            ((static_cast<uint32_t>(alignment) << kAlignShift) & kAlignMask);
}

int VEXA_Variable::MeasureLevel() const {
  return static_cast<int>((impl().flags & kMeasureMask) >> kMeasureShift);
}
void VEXA_Variable::SetMeasureLevel(int level) {
  VEXA_VariableImpl& v = mut();
  v.flags = (v.flags & ~kMeasureMask) |
            ((static_cast<uint32_t>(level) << kMeasureShift) & kMeasureMask);
}

int VEXA_Variable::Role() const { return impl().role; }
void VEXA_Variable::SetRole(int role) { mut().role = role; }

const AttributeSet& VEXA_Variable::Attributes() const { return impl().attributes; }
void VEXA_Variable::SetAttributes(AttributeSet set) { mut().attributes = std::move(set); }

int VEXA_Variable::MissingCode() const {
  return static_cast<int8_t>(impl().flags & kMissingMask);
}

const std::array<std::array<char, 8>, 3>& VEXA_Variable::MissingRaw() const {
  return impl().missing;
}

double VEXA_Variable::MissingNumber(int i) const {
  VEXA_ASSERT(0 <= i && i < 3);
  double value;
  std::memcpy(&value, impl().missing[i].data(), sizeof value);
  return value;
}

void VEXA_Variable::SetMissingRaw(int code, const char* v1, const char* v2,
                                  const char* v3) {
  VEXA_ASSERT(code >= kMissingRangeAndValue && code <= 3 && code != -1);
  VEXA_VariableImpl& v = mut();
  const char* values[3] = {v1, v2, v3};
  for (int i = 0; i < 3; ++i) {
    if (values[i] != nullptr) {
      std::memcpy(v.missing[i].data(), values[i], 8);
    } else {
      v.missing[i].fill(0);
    }
  }
  v.flags = (v.flags & ~kMissingMask) |
            (static_cast<uint32_t>(static_cast<uint8_t>(code)));
}

void VEXA_Variable::SetMissingNumbers(int code, double v1, double v2,
                                      double v3) {
  char bytes[3][8];
  std::memcpy(bytes[0], &v1, 8);
  std::memcpy(bytes[1], &v2, 8);
  std::memcpy(bytes[2], &v3, 8);
  SetMissingRaw(code, bytes[0], bytes[1], bytes[2]);
}

void VEXA_Variable::SetMissingTexts(int code, const char* v1, const char* v2,
                                    const char* v3) {
  VEXA_ASSERT(v1 != nullptr || v2 == nullptr);
  VEXA_ASSERT(v2 != nullptr || v3 == nullptr);
  VEXA_ASSERT(v1 == nullptr || !IsNumeric());
  const char* texts[3] = {v1, v2, v3};
  char padded[3][8];
  const char* values[3] = {nullptr, nullptr, nullptr};
  for (int i = 0; i < 3; ++i) {
    if (texts[i] == nullptr) continue;
    std::memset(padded[i], ' ', 8);
    std::memcpy(padded[i], texts[i], strnlen(texts[i], 8));
    values[i] = padded[i];
  }
  SetMissingRaw(code, values[0], values[1], values[2]);
}

const ValueLabelMap& VEXA_Variable::ValueLabels() const {
  return impl().value_labels;
}

ValueLabelMap& VEXA_Variable::MutableValueLabels() {
  return mut().value_labels;
}

void VEXA_Variable::SetValueLabels(const ValueLabelMap& map) {
  mut().value_labels = map;
}

}  // namespace vexa
