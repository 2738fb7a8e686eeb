// A variable of the dictionary: VEXA_VariableImpl holds its properties and is
// shared between dictionaries (a copied dictionary shares every variable until
// one side changes it); VEXA_Variable is the reference through which it is
// read and changed. Every change goes through the copy-on-write step.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/ref_counted.h"
#include "dict/attributes.h"
#include "dict/format_code.h"
#include "dict/value_labels.h"

namespace vexa {

constexpr int kMaxStringWidth = 32767;
constexpr int kMaxNameBytes = 64;

// Missing-value codes (bits 0-7 of the flags).
constexpr int kMissingNone = 0;
constexpr int kMissingRange = -2;
constexpr int kMissingRangeAndValue = -3;

// Number of 8-byte slots that a variable of the given type takes in memory.
inline int SlotsForType(int type) { return type <= 8 ? 1 : (type + 7) / 8; }

class VEXA_VariableImpl : public VEXA_RefCntObject {
 public:
  explicit VEXA_VariableImpl(int type);

  std::string name;
  std::string name_key;  // upper-case name, for comparisons
  // Three 8-byte missing values: float64 for numerics, text for strings.
  std::array<std::array<char, 8>, 3> missing{};
  bool has_label = false;
  std::string label;
  uint32_t print_format;
  uint32_t write_format;
  int16_t type;
  int16_t display_width;
  int32_t role = 0;
  uint32_t flags = 0;
  ValueLabelMap value_labels;  // may be empty; may be shared
  AttributeSet attributes;
  uint32_t id;
};

class VEXA_Variable {
 public:
  VEXA_Variable() = default;  // invalid until assigned
  // A new variable of the given type with the default properties and a fresh
  // process-wide id.
  explicit VEXA_Variable(int type);

  bool IsValid() const { return impl_.IsValid(); }
  uint32_t Id() const;

  const std::string& Name() const;
  const std::string& NameKey() const;
  // Stores the text unchanged; the key is its upper-case form in the
  // interface encoding.
  void SetName(std::string_view name);

  int Type() const;  // kNumericType, else string width
  bool IsNumeric() const { return Type() == kNumericType; }
  // Changes the width; formats follow as the type change rule says.
  void SetType(int type);

  bool HasLabel() const;
  const std::string& Label() const;
  void SetLabel(std::string_view label);
  void ClearLabel();

  uint32_t PrintFormat() const;
  uint32_t WriteFormat() const;
  void SetPrintFormat(uint32_t packed);
  void SetWriteFormat(uint32_t packed);

  int DisplayWidth() const;
  void SetDisplayWidth(int width);
  int Alignment() const;        // 2 bits
  void SetAlignment(int alignment);
  int MeasureLevel() const;     // 4 bits
  void SetMeasureLevel(int level);
  int Role() const;
  void SetRole(int role);

  // Missing values: the code and the three raw 8-byte values.
  int MissingCode() const;
  const std::array<std::array<char, 8>, 3>& MissingRaw() const;
  double MissingNumber(int i) const;  // value i (0-2) read as float64
  // Sets the code and up to three raw 8-byte values (null for absent; an
  // absent value is stored as zero bytes). REQUIRES: code is 0, 1, 2, 3, -2
  // or -3; callers check codes read from files before they get here.
  void SetMissingRaw(int code, const char* v1, const char* v2, const char* v3);
  void SetMissingNumbers(int code, double v1, double v2, double v3);
  // String missing values: texts of up to 8 bytes, padded with blanks (cut
  // at 8). A second text only with a first, a third only with a second.
  void SetMissingTexts(int code, const char* v1, const char* v2,
                       const char* v3);

  const ValueLabelMap& ValueLabels() const;
  ValueLabelMap& MutableValueLabels();
  void SetValueLabels(const ValueLabelMap& map);

  const AttributeSet& Attributes() const;
  void SetAttributes(AttributeSet set);

 private:
  const VEXA_VariableImpl& impl() const;
  VEXA_VariableImpl& mut();

  RefPtr<VEXA_VariableImpl> impl_;
};

}  // namespace vexa
