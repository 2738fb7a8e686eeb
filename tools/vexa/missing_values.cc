#include "missing_values.h"

#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {

void MissingValues::Load(int handle, const std::string& name, bool numeric) {
  code_ = 0;
  if (numeric) {
    if (vexaGetVarNMissingValues(handle, name.c_str(), &code_, &values_[0], &values_[1],
                                 &values_[2]) != VEXA_OK) {
      code_ = 0;
    }
    return;
  }
  char texts[3][9] = {};
  if (vexaGetVarCMissingValues(handle, name.c_str(), &code_, texts[0], texts[1], texts[2]) !=
      VEXA_OK) {
    code_ = 0;
    return;
  }
  for (int i = 0; i < code_ && i < 3; ++i) texts_[i] = TrimTrailingBlanks(texts[i]);
}

bool MissingValues::Numeric(double value) const {
  if (code_ < 0) {
    if (value >= values_[0] && value <= values_[1]) return true;
    return code_ == -3 && value == values_[2];
  }
  for (int i = 0; i < code_ && i < 3; ++i) {
    if (value == values_[i]) return true;
  }
  return false;
}

bool MissingValues::Text(std::string_view value) const {
  for (int i = 0; i < code_ && i < 3; ++i) {
    if (TrimTrailingBlanks(value) == texts_[i]) return true;
  }
  return false;
}

}  // namespace vexa::tool
