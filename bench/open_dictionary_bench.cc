// Opening a file and reading its dictionary: numeric and string variables
// with long labels, and 2,000 value label sets. Opening must scale linearly
// in the number of variables.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/sysfile_builder.h"
#include "support/temp_dir.h"
#include "vexaio.h"

namespace {

using vexa::testing::SysFileBuilder;

constexpr int kLabelSets = 2000;

std::string BuildWideFile(int variables) {
  SysFileBuilder b;
  b.Header({.label = "wide dictionary benchmark"});
  std::vector<int32_t> numeric_slots;
  int32_t slot = 1;
  const std::string long_label(200, 'L');
  for (int i = 0; i < variables; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "x%07d", i);
    std::string label = long_label + std::to_string(i);
    if (i % 4 == 3) {
      int width = 8 + (i % 31) * 8;  // 8 to 248 bytes
      b.StringVar(name, width, {.label = label});
      slot += (width + 7) / 8;
    } else {
      b.NumericVar(name, {.label = label});
      numeric_slots.push_back(slot);
      slot += 1;
    }
  }
  // Value label sets of ten labels each, each shared by a few numerics.
  size_t per_set = numeric_slots.size() / kLabelSets;
  if (per_set == 0) per_set = 1;
  for (int set = 0; set < kLabelSets; ++set) {
    std::vector<std::pair<double, std::string>> labels;
    for (int v = 1; v <= 10; ++v) {
      labels.emplace_back(v + set, "value label number " + std::to_string(v));
    }
    std::vector<int32_t> slots;
    for (size_t k = 0; k < per_set; ++k) {
      size_t at = set * per_set + k;
      if (at < numeric_slots.size()) slots.push_back(numeric_slots[at]);
    }
    if (slots.empty()) break;
    b.NumericLabels(labels, slots);
  }
  b.MachineInts().MachineFloats().End();
  return b.Bytes();
}

class WideFile {
 public:
  const std::string& Path(int variables) {
    auto it = paths_.find(variables);
    if (it != paths_.end()) return it->second;
    std::string name = "wide" + std::to_string(variables) + ".vexa";
    return paths_[variables] = dir_.Write(name, BuildWideFile(variables));
  }

 private:
  vexa::testing::TempDir dir_;
  std::map<int, std::string> paths_;
};

WideFile& Files() {
  static WideFile files;
  return files;
}

void BM_OpenDictionary(benchmark::State& state) {
  const int variables = static_cast<int>(state.range(0));
  const std::string& path = Files().Path(variables);
  for (auto _ : state) {
    int handle = -1;
    if (vexaOpenRead(path.c_str(), &handle) != VEXA_OK) {
      state.SkipWithError("open failed");
      break;
    }
    vexaCloseRead(handle);
  }
  state.SetItemsProcessed(state.iterations() * variables);
  state.SetComplexityN(variables);
}

BENCHMARK(BM_OpenDictionary)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
