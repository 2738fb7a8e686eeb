// Dictionary metadata kept in extension records beyond the fixed
// dictionary: variable and multiple-response sets, the date variables
// information, the sort key of the cases and the data entry formatting.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexa {

// A variable set (type 0) or a multiple-response set of categories (1) or
// dichotomies (2). Flag bit 0: an extended dichotomy set; bit 1: the label
// is taken from the variables.
struct VariableSet {
  enum Type : uint32_t { kVariables = 0, kCategories = 1, kDichotomies = 2 };
  static constexpr uint32_t kExtended = 1;
  static constexpr uint32_t kLabelFromVariables = 2;

  uint32_t type = kVariables;
  uint32_t flags = 0;
  std::string name;
  std::string label;
  std::string counted_value;  // dichotomies only, never empty for them
  std::vector<std::string> variables;

  bool operator==(const VariableSet&) const = default;
};

// Date variables information. Slot k < count holds a component variable,
// slot `count` the date key (or nothing, type 0).
struct DateInfo {
  static constexpr int kMaxVariables = 10;
  // Slot type codes: none, the components 1 to 10, and the date key.
  static constexpr int32_t kEmptySlot = 0;
  static constexpr int32_t kDateKey = 11;
  // The name each slot type requires of its variable, by type code.
  static constexpr std::array<std::string_view, kDateKey + 1> kComponentNames = {
      "",     "CYCLE_", "YEAR_",   "QUARTER_", "MONTH_", "WEEK_",
      "DAY_", "HOUR_",  "MINUTE_", "SECOND_",  "OBS_",   "DATE_"};
  struct Slot {
    int index = -1;     // in the dictionary
    uint32_t id = 0;    // the variable's identity
    int32_t type = 0;   // component type code, kEmptySlot for none
    int32_t parameter = 0;
    bool operator==(const Slot&) const = default;
  };

  bool present = false;
  uint8_t flag = 0;
  int32_t value1 = 0;
  int32_t value3 = 0;
  int32_t value4 = 0;
  int32_t count = 0;
  std::vector<Slot> slots;  // count + 1 when present

  bool operator==(const DateInfo&) const = default;
};

// The sort key of the cases: keys of three integers, and named entries.
struct SortInfo {
  std::vector<std::array<int32_t, 3>> keys;
  std::vector<std::pair<std::string, int64_t>> entries;

  bool operator==(const SortInfo&) const = default;
};

struct Metadata {
  std::vector<VariableSet> sets;  // variable and multiple-response sets
  DateInfo date_info;
  SortInfo sort_info;
  std::string data_entry;  // opaque, passed through
};

}  // namespace vexa
