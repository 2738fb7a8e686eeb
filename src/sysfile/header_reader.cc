// Header record (176 bytes, offsets from the start of the plain file):
//   0 magic[4]        "$FL2" plain, "$FL3" zlib form
//   4 product[60]     text, space padded
//  64 layout code     int32, 2; also the byte-order probe
//  68 nominal case size, 72 compression, 76 weight index, 80 case count
//  84 bias            float64, 100.0
//  92 date[9]         "dd Mon yy"
// 101 time[8]         "hh:mm:ss"
// 109 label[64]       the file label
// 173 padding[3]      ignored
#include "sysfile/header_reader.h"

#include <cstring>
#include <strings.h>

#include "dict/dictionary.h"
#include "dict/names.h"
#include "sysfile/layout.h"
#include "support/calendar.h"
#include "support/endian.h"
#include "support/errors.h"

namespace vexa {
namespace {

int Digit(char c) { return static_cast<unsigned char>(c) - '0'; }

int TwoDigits(std::string_view s, size_t at) {
  return 10 * Digit(s[at]) + Digit(s[at + 1]);
}

std::string TrimmedField(const char* p, size_t n) {
  return std::string(TrimTrailingBlanks(std::string_view(p, n)));
}

}  // namespace

void ReadHeader(VEXA_StrBaseIO& stream, FileHeader& header,
                Dictionary& dictionary) {
  // Offsets below are within the 172 bytes that follow the magic.
  constexpr size_t kBase = layout::kMagicSize;
  char rec[layout::kHeaderRestSize];
  size_t got = stream.Read(rec, sizeof rec);
  if (got != sizeof rec) {
    ThrowFileError(kErrTruncated, "the header ends after {} of its {} bytes",
                   kBase + got, kBase + sizeof rec);
  }

  auto at = [&](size_t offset) { return rec + offset - kBase; };
  uint32_t probe = static_cast<uint32_t>(LoadI32(at(layout::kLayoutCodeOffset), false));
  bool swap = probe - 1u > 254u;
  header.byte_swapped = swap;
  header.layout_code = LoadI32(at(layout::kLayoutCodeOffset), swap);
  header.nominal_case_size = LoadI32(at(layout::kNominalCaseSizeOffset), swap);
  header.compression = LoadI32(at(layout::kCompressionOffset), swap);
  header.weight_index = LoadI32(at(layout::kWeightIndexOffset), swap);
  header.case_count = LoadI32(at(layout::kCaseCountOffset), swap);
  header.bias = LoadF64(at(layout::kBiasOffset), swap);
  header.product = TrimmedField(at(layout::kMagicSize),
                                layout::kProductSize);

  dictionary.SetIdString(TrimmedField(at(layout::kLabelOffset), layout::kLabelSize));
  double stamp = ParseCreationTime(
      std::string_view(at(layout::kDateOffset), layout::kDateSize),
      std::string_view(at(layout::kTimeOffset), layout::kTimeSize));
  if (stamp != 0.0) dictionary.SetTimeStamp(stamp);
}

double ParseCreationTime(std::string_view date, std::string_view time) {
  static constexpr const char* kMonths[] = {"jan", "feb", "mar", "apr",
                                            "may", "jun", "jul", "aug",
                                            "sep", "oct", "nov", "dec"};
  if (date.size() < layout::kDateSize || time.size() < layout::kTimeSize) {
    return 0.0;
  }
  int64_t day = TwoDigits(date, 0);
  int64_t month = 13;
  for (int i = 0; i < 12; ++i) {
    if (strncasecmp(date.data() + 3, kMonths[i], 3) == 0) {
      month = i + 1;
      break;
    }
  }
  int64_t year = 1900 + TwoDigits(date, 7);
  if (year < 1970) year += 100;
  // Only the second has a lower bound: an hour or minute made of other
  // characters than digits may come out negative and still counts.
  int64_t hour = TwoDigits(time, 0);
  int64_t minute = TwoDigits(time, 3);
  int64_t second = TwoDigits(time, 6);
  if (year < 1582 || year >= 10000 || month < 1 || month > 12 || day < 1 ||
      day > 31 || hour >= 24 || minute >= 60 || second < 0 || second >= 60) {
    return 0.0;
  }
  int64_t d = DayNumber(year, month, day);
  if (d < 0) return 0.0;
  return static_cast<double>(d * kSecondsPerDay + hour * 3600 + minute * 60 +
                             second);
}

}  // namespace vexa
