#include "ratio_report.h"

#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdio>
#include <vector>

namespace vexa::bench {
namespace {

constexpr const char* kProcessCpu = "process_cpu";

double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The console's reporter that also keeps every run's rate.
class KeepingReporter : public benchmark::ConsoleReporter {
 public:
  explicit KeepingReporter(RunRates& rates) : rates_(rates) {}
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
      rates_.wall.rates[run.benchmark_name()] = rate;
      // The same work over the process's processor time instead of the
      // time the rate was taken over.
      double cpu_rate = rate;
      auto cpu = run.counters.find(kProcessCpu);
      const double timed = run.run_name.time_type == "real_time"
                               ? run.real_accumulated_time
                               : run.cpu_accumulated_time;
      if (cpu != run.counters.end() && cpu->second.value > 0 && timed > 0) {
        cpu_rate = rate * timed / cpu->second.value;
      }
      rates_.cpu.rates[run.benchmark_name()] = cpu_rate;
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  RunRates& rates_;
};

}  // namespace

ProcessCpu::ProcessCpu(benchmark::State& state) : state_(state), start_(ProcessSeconds()) {}

ProcessCpu::~ProcessCpu() {
  state_.counters[kProcessCpu] = benchmark::Counter(ProcessSeconds() - start_ - paused_);
}

void ProcessCpu::Pause() { paused_at_ = ProcessSeconds(); }

void ProcessCpu::Resume() { paused_ += ProcessSeconds() - paused_at_; }

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
  RunRates rates;
  KeepingReporter reporter(rates);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nRatios of this run's rates, by the clock on the wall:\n");
  report(rates.wall);
  std::printf("\nThe same by the processor time of the whole process (all threads):\n");
  report(rates.cpu);
  benchmark::Shutdown();
  return 0;
}

}  // namespace vexa::bench
