#include "layout/write_plan.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "dict/format_code.h"
#include "layout/long_strings.h"
#include "layout/short_names.h"
#include "support/errors.h"

namespace vexa {
namespace {

using long_strings::SegmentCount;
using long_strings::SegmentWidth;

VEXA_Variable SegmentOf(const VEXA_Variable& var, int width) {
  VEXA_Variable segment = var;
  segment.SetType(width);
  const uint32_t format =
      PackFormat({static_cast<uint16_t>(width), kFormatString, 0});
  segment.SetPrintFormat(format);
  segment.SetWriteFormat(format);
  return segment;
}

// The file's variables: each under its short name, a very long string as
// its segments. Segment 0 takes the string's short name; the others are
// named stem + base-36 counter, skipping every short name and every segment
// name given before. Names are handed out from the last very long string to
// the first. Each segment is a copy of the variable (label, missing values
// and display properties included) with width and formats A of its own.
std::vector<VEXA_Variable> FileVariables(const Dictionary& dict,
                                         const WritePlan& plan) {
  std::unordered_set<std::string> used;
  used.reserve(plan.name_map.size());
  for (const auto& entry : plan.name_map) used.insert(entry.second);
  std::vector<std::vector<VEXA_Variable>> split(plan.very_long_strings.size());
  for (size_t k = plan.very_long_strings.size(); k-- > 0;) {
    const VeryLongString& s = plan.very_long_strings[k];
    const VEXA_Variable& var = dict.At(s.index);
    const std::string stem = SegmentStem(var.NameKey());
    uint64_t counter = 0;
    for (int seg = 0; seg < SegmentCount(s.width); ++seg) {
      VEXA_Variable segment = SegmentOf(var, SegmentWidth(s.width, seg));
      if (seg > 0) {
        std::string name;
        do {
          name = stem + Base36(counter++);
        } while (!used.insert(name).second);
        segment.SetName(name);
      }
      split[k].push_back(std::move(segment));
    }
  }
  std::vector<VEXA_Variable> all;
  all.reserve(static_cast<size_t>(dict.Count()));
  size_t next = 0;
  for (int i = 0; i < dict.Count(); ++i) {
    if (next < split.size() && plan.very_long_strings[next].index == i) {
      for (VEXA_Variable& segment : split[next]) all.push_back(std::move(segment));
      ++next;
    } else {
      all.push_back(dict.At(i));
    }
  }
  return all;
}

}  // namespace

WritePlan MakeWritePlan(const Dictionary& dictionary) {
  WritePlan plan;
  plan.name_map = BuildNameMap(dictionary);
  for (int i = 0; i < dictionary.Count(); ++i) {
    const int width = dictionary.At(i).Type();
    if (width >= long_strings::kMinWidth) {
      plan.very_long_strings.push_back(
          {i, width, plan.name_map[static_cast<size_t>(i)].second});
    }
  }

  // Labels of strings wider than 8 travel in their own extension record,
  // so neither such a variable nor its segments carry them in the file.
  // Measurement levels 4 and 5 travel in the variable attributes record;
  // the display record says 1 for them.
  Dictionary source = dictionary;
  for (int i = 0; i < source.Count(); ++i) {
    const int level = source.At(i).MeasureLevel();
    if (level == 4 || level == 5) source.MutableAt(i).SetMeasureLevel(1);
    const ValueLabelMap& labels = source.At(i).ValueLabels();
    if (labels.IsValid() && labels.Count() > 0 && labels.Width() > 8) {
      source.MutableAt(i).SetValueLabels(ValueLabelMap());
    }
  }
  plan.file = source;
  if (!plan.very_long_strings.empty()) {
    plan.file.ReplaceVariables(FileVariables(source, plan));
  }
  // Every variable the caller defined goes by its short name; segment
  // variables have theirs already.
  std::unordered_map<std::string_view, const std::string*> short_names;
  short_names.reserve(plan.name_map.size());
  for (const auto& [name, short_name] : plan.name_map) {
    short_names.emplace(name, &short_name);
  }
  for (int i = 0; i < plan.file.Count(); ++i) {
    const auto it = short_names.find(plan.file.At(i).Name());
    if (it != short_names.end() && *it->second != plan.file.At(i).Name()) {
      plan.file.MutableAt(i).SetName(*it->second);
    }
  }

  CaseLayout& layout = plan.case_layout;
  layout.memory_slots = dictionary.SlotCount();
  layout.file_slots = plan.file.SlotCount();
  int file_index = 0;
  int next = 0;
  for (const VeryLongString& s : plan.very_long_strings) {
    // The caller's variables in front keep one file variable each.
    file_index += s.index - next;
    layout.strings.push_back({dictionary.FirstSlot(s.index),
                              plan.file.FirstSlot(file_index), s.width});
    file_index += SegmentCount(s.width);
    next = s.index + 1;
  }
  return plan;
}

}  // namespace vexa
