#include "dict/value_labels.h"

#include <algorithm>
#include <cstring>

#include "text/interface_encoding.h"

namespace vexa {
namespace {

constexpr size_t kUnitBytes = 8;

double UnitAt(std::string_view key, size_t unit) {
  double value;
  std::memcpy(&value, key.data() + unit * kUnitBytes, kUnitBytes);
  return value;
}

// Keys are ordered by their 8-byte units read as float64, the first unit
// that differs deciding. NaN units (possible in string keys) compare as not
// differing; the order is then not strict, but the search below only halves
// an index range, so it stays in bounds whatever the comparison says.
bool KeyLess(std::string_view a, std::string_view b) {
  const size_t units = std::min(a.size(), b.size()) / kUnitBytes;
  for (size_t i = 0; i < units; ++i) {
    const double x = UnitAt(a, i);
    const double y = UnitAt(b, i);
    if (x < y) return true;
    if (y < x) return false;
  }
  return a.size() < b.size();
}

// The first entry whose key is not less than `key`.
size_t LowerBound(const std::vector<VEXA_VLMapImpl::Entry>& entries,
                  std::string_view key) {
  size_t lo = 0;
  size_t hi = entries.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (KeyLess(entries[mid].key, key)) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

std::string NumberKey(double value) {
  std::string key(kUnitBytes, '\0');
  std::memcpy(key.data(), &value, kUnitBytes);
  return key;
}

const std::vector<VEXA_VLMapImpl::Entry>& NoEntries() {
  static const std::vector<VEXA_VLMapImpl::Entry> empty;
  return empty;
}

}  // namespace

ValueLabelMap::ValueLabelMap(int width)
    : impl_(RefPtr<VEXA_VLMapImpl>::Make(width)) {}

int ValueLabelMap::Width() const { return impl_ ? impl_->width : 0; }

int ValueLabelMap::Count() const {
  return impl_ ? static_cast<int>(impl_->entries.size()) : 0;
}

void ValueLabelMap::SetWidth(int width) {
  if (!impl_ || impl_->entries.empty()) {
    // Holders that shared the old empty map keep it with its old width.
    impl_ = RefPtr<VEXA_VLMapImpl>::Make(width);
  } else {
    impl_.Mutable()->width = width;
  }
}

void ValueLabelMap::AddRaw(std::string_view key_units,
                           std::string_view label) {
  VEXA_ASSERT(impl_.IsValid());
  VEXA_ASSERT(!key_units.empty() && key_units.size() % kUnitBytes == 0);
  VEXA_VLMapImpl* map = impl_.Mutable();
  const size_t pos = LowerBound(map->entries, key_units);
  if (pos < map->entries.size() && map->entries[pos].key == key_units) {
    map->entries[pos].label.assign(label);
    return;
  }
  map->entries.insert(map->entries.begin() + static_cast<long>(pos),
                      {std::string(key_units), std::string(label)});
}

void ValueLabelMap::AddNumber(double value, std::string_view label) {
  AddRaw(NumberKey(value), label);
}

void ValueLabelMap::AddText(std::string_view text, std::string_view label) {
  AddRaw(TextKey(text), label);
}

const std::string* ValueLabelMap::FindRaw(std::string_view key_units) const {
  if (!impl_) return nullptr;
  const auto& entries = impl_->entries;
  const size_t pos = LowerBound(entries, key_units);
  if (pos < entries.size() && entries[pos].key == key_units) {
    return &entries[pos].label;
  }
  return nullptr;
}

const std::string* ValueLabelMap::FindNumber(double value) const {
  return FindRaw(NumberKey(value));
}

const std::string* ValueLabelMap::FindText(std::string_view text) const {
  return FindRaw(TextKey(text));
}

std::string ValueLabelMap::TextKey(std::string_view text) const {
  const size_t key_bytes =
      static_cast<size_t>(KeyUnitsForWidth(Width())) * kUnitBytes;
  // A value that fits is kept byte for byte; a longer one is cut so that no
  // character is split.
  const size_t kept =
      text.size() <= key_bytes
          ? text.size()
          : text::WholeCharPrefix(text.data(), text.size(), key_bytes);
  std::string key(text.substr(0, kept));
  key.resize(key_bytes, ' ');
  return key;
}

const std::vector<VEXA_VLMapImpl::Entry>& ValueLabelMap::Entries() const {
  return impl_ ? impl_->entries : NoEntries();
}

void ValueLabelMap::Reset() { cursor_ = 0; }

bool ValueLabelMap::End() const {
  VEXA_ASSERT(cursor_ >= 0);
  return static_cast<size_t>(cursor_) >= Entries().size();
}

const VEXA_VLMapImpl::Entry& ValueLabelMap::Next() {
  VEXA_ASSERT(!End());
  return Entries()[static_cast<size_t>(cursor_++)];
}

}  // namespace vexa
