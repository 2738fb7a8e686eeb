// Value label maps: labels for values of a variable, kept sorted by key.
// A map is shared by reference between the variables of one value label
// record and copied by the holder that changes it first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/ref_counted.h"

namespace vexa {

class VEXA_VLMapImpl : public VEXA_RefCntObject {
 public:
  struct Entry {
    std::string key;  // a whole number of 8-byte units
    std::string label;
  };
  explicit VEXA_VLMapImpl(int width) : width(width) {}

  int32_t width;  // 0 numeric, else the string width of its variables
  std::vector<Entry> entries;
};

// Number of 8-byte units in a key of a map of the given width.
inline int KeyUnitsForWidth(int width) {
  return width <= 8 ? 1 : (width + 7) / 8;
}

// A counted reference to a map, with an iteration cursor. An empty reference
// holds no map.
class ValueLabelMap {
 public:
  ValueLabelMap() = default;
  explicit ValueLabelMap(int width);

  bool IsValid() const { return impl_.IsValid(); }
  int Width() const;
  int Count() const;
  // With entries: this holder's private map changes width, entries stay.
  // Empty: the reference is replaced by a new empty map of that width.
  void SetWidth(int width);

  // Adds or replaces; the key is given as raw 8-byte units.
  void AddRaw(std::string_view key_units, std::string_view label);
  void AddNumber(double value, std::string_view label);
  // For a string map: the text is cut on a character boundary to the key
  // length and padded with blanks.
  void AddText(std::string_view text, std::string_view label);

  // Lookups; null when there is no label for exactly these bytes.
  const std::string* FindRaw(std::string_view key_units) const;
  const std::string* FindNumber(double value) const;
  const std::string* FindText(std::string_view text) const;

  // The key of a text value in this map (cut and padded to the key length).
  std::string TextKey(std::string_view text) const;

  const std::vector<VEXA_VLMapImpl::Entry>& Entries() const;

  // Iteration: Reset, then Next until End.
  void Reset();
  bool End() const;
  // The current entry; advances the cursor.
  const VEXA_VLMapImpl::Entry& Next();

  // The same for every reference to one map: a key for tables of maps.
  const void* Identity() const { return impl_.get(); }

 private:
  RefPtr<VEXA_VLMapImpl> impl_;
  long cursor_ = -1;  // -1: not reset
};

}  // namespace vexa
