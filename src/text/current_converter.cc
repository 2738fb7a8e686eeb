#include "text/current_converter.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "support/errors.h"
#include "text/icu_converters.h"

namespace vexa::text {
namespace {

// The lock makes the first use, which opens the converter, safe from any
// thread; replacing it is the business of the settings calls, which run
// while no file is open.
struct ConverterState {
  std::mutex lock;
  UConverterPtr current;
  std::atomic<uint64_t> generation = 0;
};

ConverterState& State() {
  static ConverterState state;
  return state;
}

const UConverter* CurrentLocked(ConverterState& state) {
  if (!state.current) {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* conv = ucnv_open(nullptr, &err);
    if (U_FAILURE(err)) {
      ucnv_close(conv);
      return nullptr;
    }
    SetLibrarySubstitution(conv);
    state.current.reset(conv);
  }
  return state.current.get();
}

}  // namespace

const UConverter* CurrentConverter() {
  ConverterState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  return CurrentLocked(state);
}

UConverterPtr CloneCurrentConverter() {
  ConverterState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  return CloneConverter(CurrentLocked(state));
}

void ReplaceCurrentConverter(UConverterPtr conv) {
  VEXA_ASSERT(conv != nullptr);
  ConverterState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  state.current = std::move(conv);
  ++state.generation;
}

UConverterPtr SwapCurrentConverter(UConverterPtr conv) {
  ConverterState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  UConverterPtr old = std::move(state.current);
  state.current = std::move(conv);
  ++state.generation;
  return old;
}

uint64_t ConverterGeneration() { return State().generation; }

bool IsUtf8Converter(const UConverter* conv) {
  return conv != nullptr && ucnv_getType(conv) == UCNV_UTF8;
}

}  // namespace vexa::text
