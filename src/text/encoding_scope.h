// EncodingScope: switches the process-wide encoding state for a while and
// puts it back. The open of a file whose text needs converting reads the
// file once more in the file's own encoding under such a scope.
#pragma once

#include <string_view>

#include "text/interface_encoding.h"

struct UConverter;

namespace vexa::text {

class EncodingScope {
 public:
  // Saves the interface mode and the current converter; makes the converter
  // of `encoding` current unless the name is empty; sets `mode`.
  EncodingScope(std::string_view encoding, InterfaceMode mode);
  // Restores the saved converter (when one was replaced) and mode.
  ~EncodingScope();
  EncodingScope(const EncodingScope&) = delete;
  EncodingScope& operator=(const EncodingScope&) = delete;

  // False when a name was given and no converter opened for it; the mode is
  // set all the same.
  bool ok() const { return ok_; }

 private:
  InterfaceMode saved_mode_;
  ::UConverter* saved_ = nullptr;
  bool swapped_ = false;
  bool ok_ = true;
};

}  // namespace vexa::text
