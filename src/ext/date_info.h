// The date variables information checked against a dictionary: the header
// commit writes it only when it still matches, and forgets it otherwise.
#pragma once

#include "dict/dictionary.h"
#include "dict/metadata.h"

namespace vexa {

// True when the information is absent or each of its slots still names a
// variable of the dictionary (by identity) with the name and kind its
// component requires.
bool DateInfoMatches(const DateInfo& info, const Dictionary& dictionary);

// The index of the variable a slot names: its stored index while that still
// holds the variable, else the variable with the slot's identity (reading
// merges very long strings and repairs names after the slots are filled);
// -1 when no variable has it.
int DateSlotVariable(const DateInfo::Slot& slot, const Dictionary& dictionary);

}  // namespace vexa
