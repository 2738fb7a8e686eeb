// Variable name rules.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexa {

class Dictionary;

enum NameCheck {
  kNameValid = 0,
  kNameScratch = 1,     // valid, begins with "#"
  kNameSystem = 2,      // valid, begins with "$"
  kNameBadLength = 3,   // empty or longer than 64 bytes
  kNameBadChar = 4,     // a character that is not allowed
  kNameReserved = 5,    // one of the reserved words
  kNameBadFirst = 6,    // first byte a digit, "_" or "."
};

// The validity test of a name as a caller gives it (trailing blanks are not
// counted), in the interface encoding.
NameCheck CheckVariableName(std::string_view name);

// The looser test applied to names read from a file before they are
// repaired: at most 64 bytes, allowed characters, and no leading "#", "$",
// "_" or "."; a leading digit is accepted.
bool IsValidFileName(std::string_view name);

// The name with leading and trailing blanks removed.
std::string_view TrimBlanks(std::string_view text);
// The text with trailing blanks removed.
std::string_view TrimTrailingBlanks(std::string_view text);

// The upper-case key used for name comparisons: trimmed, upper-cased in the
// interface encoding.
std::string NameKey(std::string_view name);

// Gives every variable whose name is not a valid file name, or repeats an
// earlier name without regard to case, the next free name v<n>; then, unless
// `long_names` (the file had a long names record), lower-cases every name.
// Run on a dictionary read from a file, and again once it is converted into
// another encoding.
void RepairNames(Dictionary& dictionary, bool long_names);

// The variable each member of each set of the dictionary names: the first
// whose name has the member's key, or -1. Taken before names change, and
// given to FollowSetMembers after, it keeps every member with its variable.
using SetMembers = std::vector<std::vector<int>>;
SetMembers FindSetMembers(const Dictionary& dictionary);
// Gives each member whose key no longer matches its variable's name (the
// variable was renamed, cut or repaired) the variable's name.
void FollowSetMembers(Dictionary& dictionary, const SetMembers& members);

}  // namespace vexa
