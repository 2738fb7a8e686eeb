// The process-wide current converter: the ICU converter of the current code
// page, which code-page mode text is in. It is absent at start; the first use
// opens ICU's default converter (which follows the runtime library's locale)
// and keeps it. Conversions work on clones so that no two of them share
// converter state. A lock makes the first use safe from any thread; it is
// replaced only by the settings calls, while no file is open.
#pragma once

#include <cstdint>

#include "text/icu_ptr.h"

namespace vexa::text {

// The current converter, opened on first need; null only when ICU cannot
// open its default converter. The pointer stays valid until the converter is
// replaced.
const UConverter* CurrentConverter();

// A private clone of the current converter, or null.
UConverterPtr CloneCurrentConverter();

// Makes `conv` the current converter (the previous one is closed) and raises
// the generation. REQUIRES: conv is not null.
void ReplaceCurrentConverter(UConverterPtr conv);

// Puts `conv` in place of the current converter (none: the next use opens
// ICU's default again) and hands back the one it replaces, which may be
// null. Used by scopes that restore the previous converter afterwards.
UConverterPtr SwapCurrentConverter(UConverterPtr conv);

// Rises by one every time the current converter is replaced, so that caches
// of clones know when to renew themselves.
uint64_t ConverterGeneration();

// True when the converter converts UTF-8 (then code-page text is UTF-8 and
// the UTF-8 paths apply directly).
bool IsUtf8Converter(const UConverter* conv);

}  // namespace vexa::text
