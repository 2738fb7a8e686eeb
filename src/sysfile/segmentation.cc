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
  // Segment names are handed out from the last very long string to the
  // first; the list is then rebuilt in one pass.
  std::vector<std::vector<VEXA_Variable>> split(strings.size());
  for (size_t k = strings.size(); k-- > 0;) {
    const auto [index, width] = strings[k];
    VEXA_ASSERT(width > kSegmentWidth && index >= 0 && index < dict.Count());
    const VEXA_Variable& var = dict.At(index);
    const int full = width / kSegmentDataBytes;
    const int rest = width % kSegmentDataBytes;
    const std::string stem = SegmentStem(var.NameKey());
    std::vector<VEXA_Variable>& segments = split[k];
    segments.push_back(SegmentOf(var, full > 0 ? kSegmentWidth : rest));
    uint64_t counter = 0;
    for (int s = 1; s < SegmentCount(width); ++s) {
      VEXA_Variable segment = SegmentOf(var, s < full ? kSegmentWidth : rest);
      std::string name;
      do {
        name = stem + Base36(counter++);
      } while (!used.insert(name).second);
      segment.SetName(name);
      segments.push_back(std::move(segment));
    }
  }
  std::vector<VEXA_Variable> all;
  all.reserve(static_cast<size_t>(dict.Count()));
  size_t next = 0;
  for (int i = 0; i < dict.Count(); ++i) {
    if (next < strings.size() && strings[next].first == i) {
      for (VEXA_Variable& segment : split[next]) all.push_back(std::move(segment));
      ++next;
    } else {
      all.push_back(dict.At(i));
    }
  }
  dict.ReplaceVariables(std::move(all));
}

}  // namespace vexa
