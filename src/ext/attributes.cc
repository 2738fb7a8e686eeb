// Data file attributes (subtype 17) and variable attributes (subtype 18):
// texts of unit size 1 in the attribute text form (dict/attributes.h).
//
//   17: the data file's attribute text
//   18: <name>:<attribute text>/<name>:<attribute text>...
//
// Subtype 18 names variables by the caller's names. It also carries what
// the fixed records cannot: the role ("$@Role", with roles 6 and 7 as 3
// plus "$@ExtendRole") and measurement levels 4 and 5 ("$@MeasurementLevel";
// the display record then says 1).
#include <charconv>
#include <string>

#include "dict/names.h"
#include "ext/extension_handler.h"
#include "ext/handlers.h"
#include "ext/text_record.h"

namespace vexa {
namespace {

constexpr std::string_view kRole = "$@Role";
constexpr std::string_view kExtendRole = "$@ExtendRole";
constexpr std::string_view kMeasurementLevel = "$@MeasurementLevel";
constexpr std::string_view kVariableView = "$VariableView";
constexpr std::string_view kVariableView2 = "$VariableView2";
constexpr int kRoleBoth = 3;

// The first value of an attribute as a decimal number (0 when it is not one).
int FirstNumber(const Attribute& a) {
  int n = 0;
  if (!a.values.empty()) {
    const std::string& v = a.values.front();
    std::from_chars(v.data(), v.data() + v.size(), n);
  }
  return n;
}

class SFExtensionDatasetAttributes : public SystemFileExtensionHandler {
 public:
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    StoreText(rec, AttributeText(file.dictionary.FileAttributes()));
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    const std::string_view text = LoadText(rec);
    AttributeSet set;
    size_t pos = 0;
    if (!ParseAttributeText(text, &pos, &set)) return;
    if (const Attribute* view = set.Find(kVariableView)) {
      std::vector<std::string> values = view->values;
      set.Remove(kVariableView2);
      set.Remove(kVariableView);
      set.Set(kVariableView2, std::move(values));
    }
    file.dictionary.SetFileAttributes(std::move(set));
  }
};

class SFExtensionVariableAttributes : public SystemFileExtensionHandler {
 public:
  // Written for every dictionary: each variable has at least its role.
  void WriteRecord(const ExtensionWriteContext& file,
                   SystemFileExtensionRecord& rec) const override {
    const Dictionary& dictionary = file.dictionary;
    std::string out;
    for (int i = 0; i < dictionary.Count(); ++i) {
      const VEXA_Variable& var = dictionary.At(i);
      AttributeSet set = var.Attributes();
      if (var.MeasureLevel() == 4 || var.MeasureLevel() == 5) {
        set.Set(kMeasurementLevel, {std::to_string(var.MeasureLevel())});
      }
      int role = var.Role();
      if (role == 6 || role == 7) {
        set.Set(kExtendRole, {std::to_string(role)});
        role = kRoleBoth;
      }
      set.Set(kRole, {std::to_string(role)});
      const std::string text = AttributeText(set);
      if (text.empty()) continue;
      if (!out.empty()) out += '/';
      out += var.Name();
      out += ':';
      out += text;
    }
    StoreText(rec, out);
  }

  void ReadRecord(ExtensionReadContext& file,
                  const SystemFileExtensionRecord& rec) const override {
    Dictionary& dictionary = file.dictionary;
    const std::string_view text = LoadText(rec);
    int previous = 0;
    size_t at = 0;
    while (at < text.size()) {
      const size_t colon = text.find(':', at);
      if (colon == std::string_view::npos || colon == at) return;
      AttributeSet set;
      size_t end = colon + 1;
      if (!ParseAttributeText(text, &end, &set)) {
        at = colon + 1;
        continue;
      }
      const int index = Find(dictionary, NameKey(text.substr(at, colon - at)), previous);
      at = end < text.size() && text[end] == '/' ? end + 1 : end;
      if (index < 0) continue;
      previous = index;
      Apply(dictionary.MutableAt(index), std::move(set));
    }
  }

 private:
  // The variable with that key, searched from `start` round to it again.
  static int Find(const Dictionary& dictionary, const std::string& key, int start) {
    const int n = dictionary.Count();
    for (int k = 0; k < n; ++k) {
      const int i = (start + k) % n;
      if (dictionary.At(i).NameKey() == key) return i;
    }
    return -1;
  }

  static void Apply(VEXA_Variable& var, AttributeSet set) {
    const int level = var.MeasureLevel();
    if (set.Find(kMeasurementLevel) != nullptr && (level == 2 || level == 3)) {
      set.Remove(kMeasurementLevel);
    }
    if (const Attribute* role = set.Find(kRole)) {
      var.SetRole(FirstNumber(*role));
      set.Remove(kRole);
    }
    if (const Attribute* extend = set.Find(kExtendRole)) {
      if (FirstNumber(*extend) != var.Role() && var.Role() != kRoleBoth) {
        set.Remove(kExtendRole);
      }
    }
    var.SetAttributes(std::move(set));
  }
};

}  // namespace

namespace handlers {

const SystemFileExtensionHandler& DatasetAttributes() {
  static const SFExtensionDatasetAttributes kHandler;
  return kHandler;
}

const SystemFileExtensionHandler& VariableAttributes() {
  static const SFExtensionVariableAttributes kHandler;
  return kHandler;
}

}  // namespace handlers
}  // namespace vexa
