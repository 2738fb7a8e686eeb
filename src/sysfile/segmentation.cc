#include "sysfile/segmentation.h"

#include "dict/format_code.h"
#include "support/errors.h"
#include "sysfile/short_names.h"

namespace vexa {
namespace {

VEXA_Variable SegmentOf(const VEXA_Variable& var, int width) {
  VEXA_Variable segment = var;
  segment.SetType(width);
  const uint32_t format =
      PackFormat({static_cast<uint16_t>(width), kFormatString, 0});
  segment.SetPrintFormat(format);
  segment.SetWriteFormat(format);
  return segment;
}

}  // namespace

void SplitSegments(Dictionary& dict,
                   const std::vector<std::pair<int, int>>& strings,
                   std::unordered_set<std::string>& used) {
  for (auto it = strings.rbegin(); it != strings.rend(); ++it) {
    const auto [index, width] = *it;
    VEXA_ASSERT(width > kSegmentWidth && index >= 0 && index < dict.Count());
    const VEXA_Variable var = dict.At(index);
    const int full = width / kSegmentDataBytes;
    const int rest = width % kSegmentDataBytes;
    const std::string stem = SegmentStem(var.NameKey());

    dict.Remove(index, index);
    dict.Insert(index, SegmentOf(var, full > 0 ? kSegmentWidth : rest));
    uint64_t counter = 0;
    const int segments = SegmentCount(width);
    for (int s = 1; s < segments; ++s) {
      VEXA_Variable segment = SegmentOf(var, s < full ? kSegmentWidth : rest);
      std::string name;
      do {
        name = stem + Base36(counter++);
      } while (!used.insert(name).second);
      segment.SetName(name);
      dict.Insert(index + s, segment);
    }
  }
}

}  // namespace vexa
