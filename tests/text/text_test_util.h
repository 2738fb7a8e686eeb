// Helpers for tests that change the process-wide text state: each restores
// what it changed when it goes out of scope.
#pragma once

#include <gtest/gtest.h>

#include <utility>

#include "text/current_converter.h"
#include "text/interface_encoding.h"

namespace vexa::text::testing {

class ScopedInterfaceMode {
 public:
  explicit ScopedInterfaceMode(InterfaceMode mode) : saved_(GetInterfaceMode()) {
    SetInterfaceMode(mode);
  }
  ~ScopedInterfaceMode() { SetInterfaceMode(saved_); }
  ScopedInterfaceMode(const ScopedInterfaceMode&) = delete;
  ScopedInterfaceMode& operator=(const ScopedInterfaceMode&) = delete;

 private:
  InterfaceMode saved_;
};

// Makes the named ICU converter current (in code-page mode) for the scope.
class ScopedCodePage {
 public:
  explicit ScopedCodePage(const char* name)
      : mode_(InterfaceMode::kCodePage),
        saved_(CloneConverter(CurrentConverter())) {
    UErrorCode err = U_ZERO_ERROR;
    UConverterPtr conv(ucnv_open(name, &err));
    ok_ = U_SUCCESS(err) && conv != nullptr;
    if (ok_) ReplaceCurrentConverter(std::move(conv));
  }
  ~ScopedCodePage() {
    if (ok_ && saved_) ReplaceCurrentConverter(std::move(saved_));
  }
  ScopedCodePage(const ScopedCodePage&) = delete;
  ScopedCodePage& operator=(const ScopedCodePage&) = delete;
  bool ok() const { return ok_; }

 private:
  ScopedInterfaceMode mode_;
  UConverterPtr saved_;
  bool ok_ = false;
};

}  // namespace vexa::text::testing
