// The header record as written; layout and offsets in sysfile/layout.h:
//   magic[4] product[60] layout code, nominal case size, compression,
//   weight index, case count (int32 each), bias (f64), date[9], time[8],
//   label[64], padding[3] = 4 + 60 + 5 x 4 + 8 + 9 + 8 + 64 + 3 = 176 bytes
#include <cstdio>
#include <cstring>

#include "support/errors.h"
#include "sysfile/dictionary_writer.h"
#include "sysfile/layout.h"
#include "text/interface_encoding.h"

namespace vexa {
namespace {

constexpr std::time_t kEarliestStamp = 86400;
constexpr int64_t kMaxHeaderCount = 2147483647;

}  // namespace

void AppendHeaderRecord(RecordBuffer& out, const FileHeader& header,
                        const Dictionary& dict, const HeaderLayout& layout) {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr",
                                            "May", "Jun", "Jul", "Aug",
                                            "Sep", "Oct", "Nov", "Dec"};
  const size_t start = out.Size();
  out.Bytes(header.compression == kCompressionZlib ? magic::kZlib.data()
                                                   : magic::kPlain.data(),
            layout::kMagicSize);
  out.Field(header.product, layout::kProductSize);
  out.I32(header.layout_code);
  out.I32(layout.nominal_case_size);
  out.I32(header.compression);
  out.I32(layout.weight_index);
  const bool count_fits =
      header.case_count >= 0 && header.case_count <= kMaxHeaderCount;
  out.I32(count_fits ? static_cast<int32_t>(header.case_count) : -1);
  out.F64(header.bias);

  const std::time_t when =
      layout.now > kEarliestStamp ? layout.now : kEarliestStamp;
  std::tm local{};
  localtime_r(&when, &local);
  char date[16];
  char time[16];
  std::snprintf(date, sizeof date, "%02d %-3.3s %02d", local.tm_mday,
                kMonths[local.tm_mon % 12], local.tm_year % 100);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour,
                local.tm_min, local.tm_sec);
  out.Field(date, layout::kDateSize);
  out.Field(time, layout::kTimeSize);
  // The label is cut to its field on a whole character.
  const std::string_view label = dict.IdString();
  out.Field(label.substr(0, text::CutOnCharacters(label, layout::kLabelSize)),
            layout::kLabelSize);
  out.Field({}, layout::kHeaderPaddingSize, '\0');
  VEXA_ASSERT(out.Size() - start == layout::kHeaderSize);
}

}  // namespace vexa
