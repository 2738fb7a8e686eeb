// Value labels of numeric and string variables: setting one label or whole
// shared sets, looking one label up, and handing out all labels of a
// variable in library-allocated arrays that the matching free call releases.
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "api/call_guard.h"
#include "api/text_out.h"
#include "text/interface_encoding.h"
#include "vexaio.h"

using namespace vexa;

namespace {

constexpr size_t kMaxValueLabelBytes = 120;
constexpr int kShortValueLabelBuffer = 61;

enum class Kind { kNumeric, kString };

// The common variable test: 12 for an unknown name, 14 for a string variable
// in a numeric call, 15 for a numeric variable in a string call.
int CheckedVariable(HandleRecord& r, const char* name, Kind kind) {
  int index = RequireVariable(r, name);
  bool numeric = r.Dict().At(index).IsNumeric();
  if (kind == Kind::kNumeric && !numeric) throw ApiError(VEXA_E_NOT_NUMERIC);
  if (kind == Kind::kString && numeric) throw ApiError(VEXA_E_WRONG_TYPE);
  return index;
}

// The variable's map for a getter; -8 when it holds no labels.
const ValueLabelMap& LabelsOf(const VEXA_Variable& var) {
  if (var.ValueLabels().Count() == 0) throw ApiError(VEXA_W_NO_VALUE_LABELS);
  return var.ValueLabels();
}

// A string value taken up to the variable's width without splitting a
// character; the map pads it with blanks to whole 8-byte units, so trailing
// blanks of the caller's text do not matter.
std::string_view ValueText(const char* value, int width) {
  size_t len = std::strlen(Required(value));
  size_t w = static_cast<size_t>(width);
  return {value, len <= w ? len : text::WholeCharPrefix(value, len, w)};
}

// The label as stored: at most 120 bytes of whole characters. Sets *cut when
// it had to be shortened.
std::string_view StoredLabel(const char* label, bool* cut) {
  size_t len = std::strlen(Required(label));
  if (len <= kMaxValueLabelBytes) return {label, len};
  *cut = true;
  return {label, text::WholeCharPrefix(label, len, kMaxValueLabelBytes)};
}

// One value of either kind as the caller gave it.
struct Value {
  double number;
  const char* text;
};

// Adds or replaces one pair. The callers check the arguments before a
// variable's own map is touched, so a failed call leaves it as it was.
void AddPair(ValueLabelMap& map, Kind kind, int width, Value value,
             std::string_view label) {
  if (kind == Kind::kNumeric) {
    map.AddNumber(value.number, label);
  } else {
    map.AddText(ValueText(value.text, width), label);
  }
}

// Adds one pair to the variable's own map (copied first when it is shared
// with other variables), creating a map of the variable's width when it has
// none.
int SetOneLabel(int handle, const char* name, Kind kind, Value value,
                const char* label) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    int index = CheckedVariable(r, name, kind);
    bool cut = false;
    std::string_view stored = StoredLabel(label, &cut);
    if (kind == Kind::kString) Required(value.text);
    VEXA_Variable& var = r.Dict().MutableAt(index);
    ValueLabelMap& map = var.MutableValueLabels();
    if (!map.IsValid()) map = ValueLabelMap(var.Type());
    AddPair(map, kind, var.Type(), value, stored);
    return cut ? VEXA_W_VALUE_LABEL_TRUNCATED : VEXA_OK;
  });
}

// Gives every listed variable one new map built from the pairs in order.
// Nothing changes unless every variable passes its test.
int SetLabelSet(int handle, const char** names, int numVars, Kind kind,
                const double* numbers, const char** texts, const char** labels,
                int numLabels) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    if (numVars < 1) return VEXA_E_VAR_NOT_FOUND;
    if (numLabels < 0) return kFallbackHandle;
    Required(names);
    const Dictionary& dict = r.Dict();
    std::vector<int> indexes;
    for (int i = 0; i < numVars; ++i) {
      indexes.push_back(CheckedVariable(r, names[i], kind));
      if (dict.At(indexes[i]).Type() != dict.At(indexes[0]).Type()) {
        return VEXA_E_WIDTH_MISMATCH;
      }
    }
    int width = dict.At(indexes[0]).Type();
    ValueLabelMap map(width);
    bool cut = false;
    for (int i = 0; i < numLabels; ++i) {
      Value value = kind == Kind::kNumeric
                        ? Value{Required(numbers)[i], nullptr}
                        : Value{0.0, Required(texts)[i]};
      AddPair(map, kind, width, value, StoredLabel(Required(labels)[i], &cut));
    }
    for (int index : indexes) r.Dict().MutableAt(index).SetValueLabels(map);
    return cut ? VEXA_W_VALUE_LABEL_TRUNCATED : VEXA_OK;
  });
}

// Copies a found label into the caller's buffer: whole characters within
// lenBuff - 1 bytes, the rest of the buffer NUL.
int GetOneLabel(int handle, const char* name, Kind kind, Value value,
                char* labelBuff, int lenBuff, int* lenLabel) {
  if (labelBuff && lenBuff > 0) labelBuff[0] = '\0';
  if (lenLabel) *lenLabel = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(labelBuff);
    if (lenBuff < 1) return kFallbackHandle;
    const VEXA_Variable& var = r.Dict().At(CheckedVariable(r, name, kind));
    const ValueLabelMap& map = LabelsOf(var);
    const std::string* label =
        kind == Kind::kNumeric
            ? map.FindNumber(value.number)
            : map.FindText(ValueText(value.text, var.Type()));
    if (label == nullptr) return VEXA_W_NO_LABEL;
    int n = CopyWholeCharacters(*label, labelBuff, lenBuff);
    if (lenLabel) *lenLabel = n;
    return VEXA_OK;
  });
}

// A malloc'd NUL-terminated copy of `bytes` padded with blanks to `size`
// bytes (or cut to it); null when memory runs out.
char* CopyPadded(std::string_view bytes, size_t size) {
  auto out = static_cast<char*>(std::malloc(size + 1));
  if (out == nullptr) return nullptr;
  std::memset(out, ' ', size);
  std::memcpy(out, bytes.data(), bytes.size() < size ? bytes.size() : size);
  out[size] = '\0';
  return out;
}

// Hands out all labels of a variable as library-allocated arrays, in the
// map's order: `make_value(entry, width, &value)` fills one value and says
// whether memory was had; `release` frees what was made when it was not.
template <class Value, class MakeValue, class Release>
int HandOutLabels(int handle, const char* name, Kind kind, Value** values,
                  char*** labels, int* numLabels, MakeValue make_value,
                  Release release) {
  if (values) *values = nullptr;
  if (labels) *labels = nullptr;
  if (numLabels) *numLabels = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(values);
    Required(labels);
    Required(numLabels);
    const VEXA_Variable& var = r.Dict().At(CheckedVariable(r, name, kind));
    const auto& entries = LabelsOf(var).Entries();
    const size_t width = static_cast<size_t>(var.Type());
    const int count = static_cast<int>(entries.size());
    auto vals = static_cast<Value*>(std::calloc(count, sizeof(Value)));
    auto labs = static_cast<char**>(std::calloc(count, sizeof(char*)));
    bool ok = vals != nullptr && labs != nullptr;
    for (int i = 0; ok && i < count; ++i) {
      labs[i] = CopyPadded(entries[i].label, entries[i].label.size());
      ok = make_value(entries[i], width, &vals[i]) && labs[i] != nullptr;
    }
    if (!ok) {
      // Zero-filled arrays: the slots not yet reached are null.
      release(vals, labs, count);
      return VEXA_E_NO_MEMORY;
    }
    *values = vals;
    *labels = labs;
    *numLabels = count;
    return VEXA_OK;
  });
}

}  // namespace

extern "C" {

VEXA_API int vexaSetVarNValueLabel(int handle, const char* varName,
                                   double value, const char* label) {
  return SetOneLabel(handle, varName, Kind::kNumeric, {value, nullptr}, label);
}

VEXA_API int vexaSetVarCValueLabel(int handle, const char* varName,
                                   const char* value, const char* label) {
  return SetOneLabel(handle, varName, Kind::kString, {0.0, value}, label);
}

VEXA_API int vexaSetVarNValueLabels(int handle, const char** varNames,
                                    int numVars, const double* values,
                                    const char** labels, int numLabels) {
  return SetLabelSet(handle, varNames, numVars, Kind::kNumeric, values, nullptr,
                     labels, numLabels);
}

VEXA_API int vexaSetVarCValueLabels(int handle, const char** varNames,
                                    int numVars, const char** values,
                                    const char** labels, int numLabels) {
  return SetLabelSet(handle, varNames, numVars, Kind::kString, nullptr, values,
                     labels, numLabels);
}

VEXA_API int vexaGetVarNValueLabelLong(int handle, const char* varName,
                                       double value, char* labelBuff,
                                       int lenBuff, int* lenLabel) {
  return GetOneLabel(handle, varName, Kind::kNumeric, {value, nullptr},
                     labelBuff, lenBuff, lenLabel);
}

VEXA_API int vexaGetVarNValueLabel(int handle, const char* varName,
                                   double value, char* label) {
  return vexaGetVarNValueLabelLong(handle, varName, value, label,
                                   kShortValueLabelBuffer, nullptr);
}

VEXA_API int vexaGetVarCValueLabelLong(int handle, const char* varName,
                                       const char* value, char* labelBuff,
                                       int lenBuff, int* lenLabel) {
  return GetOneLabel(handle, varName, Kind::kString, {0.0, value}, labelBuff,
                     lenBuff, lenLabel);
}

VEXA_API int vexaGetVarCValueLabel(int handle, const char* varName,
                                   const char* value, char* label) {
  return vexaGetVarCValueLabelLong(handle, varName, value, label,
                                   kShortValueLabelBuffer, nullptr);
}

VEXA_API int vexaFreeVarNValueLabels(double* values, char** labels,
                                     int numLabels) {
  return Guarded(kFallbackFree, [&] {
    if (labels) {
      for (int i = 0; i < numLabels; ++i) std::free(labels[i]);
    }
    std::free(labels);
    std::free(values);
    return VEXA_OK;
  });
}

VEXA_API int vexaFreeVarCValueLabels(char** values, char** labels,
                                     int numLabels) {
  return Guarded(kFallbackFree, [&] {
    if (values) {
      for (int i = 0; i < numLabels; ++i) std::free(values[i]);
    }
    std::free(values);
    return vexaFreeVarNValueLabels(nullptr, labels, numLabels);
  });
}

VEXA_API int vexaGetVarNValueLabels(int handle, const char* varName,
                                    double** values, char*** labels,
                                    int* numLabels) {
  return HandOutLabels(
      handle, varName, Kind::kNumeric, values, labels, numLabels,
      [](const VEXA_VLMapImpl::Entry& e, size_t, double* out) {
        std::memcpy(out, e.key.data(), sizeof(double));
        return true;
      },
      vexaFreeVarNValueLabels);
}

VEXA_API int vexaGetVarCValueLabels(int handle, const char* varName,
                                    char*** values, char*** labels,
                                    int* numLabels) {
  return HandOutLabels(
      handle, varName, Kind::kString, values, labels, numLabels,
      [](const VEXA_VLMapImpl::Entry& e, size_t width, char** out) {
        *out = CopyPadded(e.key, width);
        return *out != nullptr;
      },
      vexaFreeVarCValueLabels);
}

}  // extern "C"
