// What every fuzz target shares: the entry point's signature, and running a
// body that may refuse its input. The library's own refusals (file errors,
// data source errors) are answers; anything else escapes and is a finding,
// as are crashes, sanitizer reports, hangs and allocations beyond the
// limits the fuzzer sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace vexa::fuzz {

template <class Body>
void Refusable(Body&& body) {
  try {
    body();
  } catch (const SystemFileException&) {
  } catch (const ErrorText&) {
  }
}

inline std::string Bytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace vexa::fuzz
