// The warnings a test sees: every warning given to this observer, and while
// it exists every warning of the read opens, collected as "number text;" in
// the order they come. The text is the second one when there are two (a
// file name first).
#pragma once

#include <string>
#include <string_view>

#include "convert/open_reader.h"
#include "dict/data_source.h"

namespace vexa::testing {

struct Warnings : VEXA_DataSource::Observer {
  Warnings() : previous(SetOpenWarningReceiver(this)) {}
  ~Warnings() override { SetOpenWarningReceiver(previous); }
  Warnings(const Warnings&) = delete;
  Warnings& operator=(const Warnings&) = delete;

  void Warning(long number, std::string_view first, std::string_view second) override {
    got += std::to_string(number) + " " + std::string(second.empty() ? first : second) + ";";
  }

  VEXA_DataSource::Observer* previous;
  std::string got;
};

}  // namespace vexa::testing
