#include "ratio_report.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace vexa::bench {
namespace {

// The console's reporter that also keeps every run's rate.
class KeepingReporter : public benchmark::ConsoleReporter {
 public:
  explicit KeepingReporter(Rates& rates) : rates_(rates) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      double rate = 0;
      for (const char* counter : {"bytes_per_second", "items_per_second"}) {
        auto it = run.counters.find(counter);
        if (it != run.counters.end()) {
          rate = it->second.value;
          break;
        }
      }
      if (rate == 0 && run.GetAdjustedRealTime() > 0) rate = 1.0 / run.GetAdjustedRealTime();
      rates_.rates[run.benchmark_name()] = rate;
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  Rates& rates_;
};

}  // namespace

double Rates::Of(const std::string& name) const {
  auto it = rates.find(name);
  return it == rates.end() ? 0 : it->second;
}

void Rates::Ratio(const std::string& label, double numerator, double denominator,
                  const std::string& aim) const {
  if (numerator <= 0 || denominator <= 0) {
    std::printf("%-58s not run\n", label.c_str());
    return;
  }
  std::printf("%-58s %6.2f  (aim: %s)\n", label.c_str(), numerator / denominator, aim.c_str());
}

int RunAndReport(int argc, char** argv, const std::function<void(const Rates&)>& report) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Rates rates;
  KeepingReporter reporter(rates);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nRatios of this run's rates:\n");
  report(rates);
  benchmark::Shutdown();
  return 0;
}

}  // namespace vexa::bench
