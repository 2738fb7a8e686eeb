// Runs a program's benchmarks as usual and then prints the ratios that the
// targets are stated in, computed from the rates of the same run: each
// benchmark's bytes (or items) per second, by the name the console shows.
#pragma once

#include <functional>
#include <map>
#include <string>

namespace vexa::bench {

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

// Runs the benchmarks that the command line selects, then `report`.
int RunAndReport(int argc, char** argv, const std::function<void(const Rates&)>& report);

}  // namespace vexa::bench
