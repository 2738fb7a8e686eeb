#include "text/thread_converters.h"

#include "text/current_converter.h"
#include "text/icu_converters.h"

namespace vexa::text {

ThreadConverters* ConvertersForThisThread() {
  thread_local ThreadConverters cache;
  const UConverter* current = CurrentConverter();
  if (current == nullptr) return nullptr;
  const uint64_t generation = ConverterGeneration();
  if (cache.ready && cache.generation == generation) return &cache;
  cache = ThreadConverters();
  cache.generation = generation;
  cache.utf8 = IsUtf8Converter(current);
  cache.max_char_bytes = ucnv_getMaxCharSize(current);
  if (!cache.utf8) {
    cache.decode = CloneConverter(current);
    cache.encode = CloneConverter(current);
    if (!cache.decode || !cache.encode) return nullptr;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setToUCallBack(cache.decode.get(), UCNV_TO_U_CALLBACK_STOP, nullptr,
                        nullptr, nullptr, &err);
    ucnv_setFromUCallBack(cache.encode.get(), UCNV_FROM_U_CALLBACK_STOP,
                          nullptr, nullptr, nullptr, &err);
    if (U_FAILURE(err)) return nullptr;
    cache.ascii_compatible = DecodesAsciiUnchanged(cache.decode.get());
  }
  cache.ready = true;
  return &cache;
}

int DecodedCharLength(ThreadConverters& conv, const char* text, size_t limit) {
  UConverter* decode = conv.decode.get();
  ucnv_reset(decode);
  const char* source = text;
  UErrorCode err = U_ZERO_ERROR;
  ucnv_getNextUChar(decode, &source, text + limit, &err);
  ucnv_reset(decode);
  if (U_FAILURE(err) || source <= text) return -1;
  return static_cast<int>(source - text);
}

}  // namespace vexa::text
