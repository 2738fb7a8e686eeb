#include "dict/dictionary.h"

namespace vexa {

const VEXA_Variable& Dictionary::At(int index) const {
  VEXA_ASSERT(index >= 0 && static_cast<size_t>(index) < variables_.size());
  return variables_[static_cast<size_t>(index)];
}

VEXA_Variable& Dictionary::MutableAt(int index) {
  return const_cast<VEXA_Variable&>(At(index));
}

int Dictionary::Add(const VEXA_Variable& var) {
  VEXA_ASSERT(var.IsValid());
  const int32_t slots = SlotsForType(var.Type());
  // Appending never moves other offsets, so opening a file with many
  // variables stays linear.
  variables_.push_back(var);
  first_slots_.push_back(total_slots_);
  total_slots_ += slots;
  last_slots_ = slots;
  return Count() - 1;
}

void Dictionary::ReplaceVariables(std::vector<VEXA_Variable> variables) {
  variables_.clear();
  first_slots_.clear();
  total_slots_ = 0;
  last_slots_ = 0;
  first_slots_.reserve(variables.size());
  variables_.reserve(variables.size());
  for (const VEXA_Variable& var : variables) Add(var);
}

void Dictionary::Insert(int var_after, const VEXA_Variable& var) {
  VEXA_ASSERT(0 <= var_after && var_after <= Count());
  VEXA_ASSERT(var.IsValid());
  if (var_after == Count()) {
    Add(var);
    return;
  }
  const size_t at = static_cast<size_t>(var_after);
  const int32_t slots = SlotsForType(var.Type());
  variables_.insert(variables_.begin() + var_after, var);
  first_slots_.insert(first_slots_.begin() + var_after, first_slots_[at]);
  for (size_t i = at + 1; i < first_slots_.size(); ++i) first_slots_[i] += slots;
  total_slots_ += slots;
}

void Dictionary::Remove(int first, int last) {
  VEXA_ASSERT(last < Count());
  VEXA_ASSERT(0 <= first && first <= last);
  const int32_t removed = FirstSlot(last + 1) - FirstSlot(first);
  const bool reaches_end = last + 1 == Count();
  variables_.erase(variables_.begin() + first, variables_.begin() + last + 1);
  first_slots_.erase(first_slots_.begin() + first,
                     first_slots_.begin() + last + 1);
  for (size_t i = static_cast<size_t>(first); i < first_slots_.size(); ++i) {
    first_slots_[i] -= removed;
  }
  total_slots_ -= removed;
  if (reaches_end) {
    last_slots_ =
        variables_.empty() ? 0 : SlotsForType(variables_.back().Type());
  }
}

void Dictionary::SetVariableType(int index, int type) {
  VEXA_Variable& var = MutableAt(index);
  const int32_t delta = SlotsForType(type) - SlotsForType(var.Type());
  var.SetType(type);
  if (delta == 0) return;
  for (size_t i = static_cast<size_t>(index) + 1; i < first_slots_.size(); ++i) {
    first_slots_[i] += delta;
  }
  total_slots_ += delta;
  if (index == Count() - 1) last_slots_ = SlotsForType(type);
}

int32_t Dictionary::FirstSlot(int index) const {
  VEXA_ASSERT(-1 <= index && index <= Count());
  if (index == -1) return -1;
  if (index == Count()) return total_slots_;
  return first_slots_[static_cast<size_t>(index)];
}

void Dictionary::SetWeightIndex(int index) {
  const uint32_t id = (index >= 0 && index < Count())
                          ? variables_[static_cast<size_t>(index)].Id()
                          : kNoWeight;
  weight_id_ = id;
}

int Dictionary::WeightIndex() const {
  if (weight_id_ == kNoWeight) return -1;
  for (size_t i = 0; i < variables_.size(); ++i) {
    if (variables_[i].Id() == weight_id_) return static_cast<int>(i);
  }
  return -1;
}

void Dictionary::SetIdString(std::string text) {
  id_string_ = std::move(text);
}

void Dictionary::SetTimeStamp(double t) {
  time_stamp_ = t;
}

}  // namespace vexa
