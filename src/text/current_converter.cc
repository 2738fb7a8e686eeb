#include "text/current_converter.h"

#include <utility>

#include "support/errors.h"
#include "text/icu_converters.h"

namespace vexa::text {
namespace {

struct ConverterState {
  UConverterPtr current;
  uint64_t generation = 0;
};

ConverterState& State() {
  static ConverterState state;
  return state;
}

}  // namespace

const UConverter* CurrentConverter() {
  ConverterState& state = State();
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

UConverterPtr CloneCurrentConverter() {
  return CloneConverter(CurrentConverter());
}

void ReplaceCurrentConverter(UConverterPtr conv) {
  VEXA_ASSERT(conv != nullptr);
  ConverterState& state = State();
  state.current = std::move(conv);
  ++state.generation;
}

UConverterPtr SwapCurrentConverter(UConverterPtr conv) {
  ConverterState& state = State();
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
