// Runs a program's benchmarks as usual and then prints the ratios that the
// targets are stated in, computed from the rates of the same run: each
// benchmark's bytes (or items) per second, by the name the console shows.
// The ratios are printed twice: by the clock on the wall, which the targets
// are stated in, and by the processor time of the whole process (all its
// threads), which other work on a busy machine does not change. The second
// counts a worker thread's time as if it ran on the caller's core, so it is
// the harder measure for a call that reads or writes behind the caller.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>

namespace vexa::bench {

// Put before a benchmark's timed loop: the processor time of the whole
// process from here to the end of the scope goes into the run's counters.
class ProcessCpu {
 public:
  explicit ProcessCpu(benchmark::State& state);
  ~ProcessCpu();
  ProcessCpu(const ProcessCpu&) = delete;
  ProcessCpu& operator=(const ProcessCpu&) = delete;
  // Around untimed work, with the state's PauseTiming and ResumeTiming.
  void Pause();
  void Resume();

 private:
  benchmark::State& state_;
  double start_;
  double paused_at_ = 0;
  double paused_ = 0;
};

class Rates {
 public:
  // The rate of the benchmark named `name` ("BM_WholeCasesIn/0/1/real_time"),
  // 0 when it did not run (a filter left it out).
  double Of(const std::string& name) const;
  // Prints "label: value (aim: ...)", or that a part did not run.
  void Ratio(const std::string& label, double numerator, double denominator,
             const std::string& aim) const;

  std::map<std::string, double> rates;
};

// The rates of a run as the clock on the wall gives them, and as the
// process's processor time gives them (where the benchmark counts it, else
// the same).
struct RunRates {
  Rates wall;
  Rates cpu;
};

// Runs the benchmarks that the command line selects, then `report`.
int RunAndReport(int argc, char** argv, const std::function<void(const Rates&)>& report);

}  // namespace vexa::bench
