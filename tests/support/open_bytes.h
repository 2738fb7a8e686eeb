// Opening a system file composed in memory, and catching the file error
// that a damaged one raises, or any call raises.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "support/errors.h"
#include "support/memory_stream.h"
#include "sysfile/system_file_data_source.h"

namespace vexa::testing {

inline std::unique_ptr<SystemFileDataSource> OpenBytes(std::string bytes) {
  return SystemFileDataSource::OpenForReading(
      std::make_unique<MemoryStream>(std::move(bytes)), "memory.vexa");
}

// The number of the SystemFileException that opening the bytes raises, or
// nothing when they open.
inline std::optional<long> OpenError(std::string bytes) {
  try {
    OpenBytes(std::move(bytes));
  } catch (const SystemFileException& e) {
    return e.number();
  }
  return std::nullopt;
}

// The error number `call` throws, or 0 when it returns.
template <typename Call>
long ErrorNumberOf(Call call) {
  try {
    call();
  } catch (const ErrorText& e) {
    return e.number();
  } catch (const SystemFileException& e) {
    return e.number();
  }
  return 0;
}

}  // namespace vexa::testing
