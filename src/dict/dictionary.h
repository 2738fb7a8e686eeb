// The dictionary: the ordered variables, the slot layout of a case that
// follows from their widths, the weight variable, the ID string, the creation
// time stamp and the extension data store (documents among it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dict/attributes.h"
#include "dict/extension_store.h"
#include "dict/metadata.h"
#include "dict/variable.h"

namespace vexa {

constexpr uint32_t kNoWeight = 0xFFFFFFFFu;

class Dictionary {
 public:
  int Count() const { return static_cast<int>(variables_.size()); }
  // REQUIRES: 0 <= index < Count().
  const VEXA_Variable& At(int index) const;
  VEXA_Variable& MutableAt(int index);

  // Appends a variable; returns its index.
  int Add(const VEXA_Variable& var);
  // Inserts after position var_after (0 <= var_after <= Count()); position
  // var_after is where the new variable lands.
  void Insert(int var_after, const VEXA_Variable& var);
  // Removes first..last inclusive. REQUIRES: 0 <= first <= last < Count().
  void Remove(int first, int last);
  // Replaces the whole list at once (linear, where inserting one by one is
  // quadratic). The weight variable follows its id.
  void ReplaceVariables(std::vector<VEXA_Variable> variables);
  // Changes the type of the variable at index by the type change rule and
  // moves the slots of the later variables to match. Use this rather than
  // MutableAt(index).SetType(), which would leave the slot table stale.
  void SetVariableType(int index, int type);

  // First slot of variable index (-1 gives -1, Count() gives the total).
  int32_t FirstSlot(int index) const;
  int32_t SlotCount() const { return total_slots_; }
  int32_t LastVariableSlots() const { return last_slots_; }

  // An index outside the list clears the weight variable.
  void SetWeightIndex(int index);
  // The weight variable's index, or -1.
  int WeightIndex() const;

  // The file label; empty when none was set.
  const std::string& IdString() const { return id_string_; }
  void SetIdString(std::string text);

  double TimeStamp() const { return time_stamp_; }
  void SetTimeStamp(double t);

  ExtensionStore& Extensions() { return extensions_; }
  const ExtensionStore& Extensions() const { return extensions_; }

  const AttributeSet& FileAttributes() const { return file_attributes_; }
  void SetFileAttributes(AttributeSet set) { file_attributes_ = std::move(set); }

  // Sets, date information, sort key and data entry formatting.
  const Metadata& Meta() const { return metadata_; }
  Metadata& MutableMeta() { return metadata_; }

 private:
  double time_stamp_ = 0.0;
  std::vector<VEXA_Variable> variables_;
  std::vector<int32_t> first_slots_;  // dsobs
  int32_t total_slots_ = 0;
  int32_t last_slots_ = 0;
  std::string id_string_;
  uint32_t weight_id_ = kNoWeight;
  ExtensionStore extensions_;
  AttributeSet file_attributes_;
  Metadata metadata_;
};

}  // namespace vexa
