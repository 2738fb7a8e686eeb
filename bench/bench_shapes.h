// The two case shapes that the read and write benchmarks share: a survey-like
// case (200 numerics of small integers with some missing and fractional
// values, 20 strings of 8 bytes) and a wide numeric case (2,000 doubles that
// do not compress).
#pragma once

#include <cstdint>
#include <string>

namespace vexa::bench {

enum Shape { kSurvey = 0, kWide = 1 };
constexpr int kSurveyNumerics = 200;
constexpr int kSurveyStrings = 20;
constexpr int kWideNumerics = 2000;

inline int Slots(Shape s) {
  return s == kSurvey ? kSurveyNumerics + kSurveyStrings : kWideNumerics;
}
inline int Numerics(Shape s) { return s == kSurvey ? kSurveyNumerics : kWideNumerics; }
inline int Strings(Shape s) { return s == kSurvey ? kSurveyStrings : 0; }
inline const char* ShapeName(Shape s) { return s == kSurvey ? "survey" : "wide"; }

// Bytes of case data the benchmarks work on: 1 GiB, or VEXA_BENCH_MB MiB.
int64_t TargetBytes();

// Case number n in the file layout (Slots(s) * 8 bytes).
void MakeCase(Shape s, int64_t n, char* out);

// Makes a file just written settle before anything is timed: its pages
// are written to disk (so that the kernel's write-back of gigabytes made
// moments ago does not run during the timings that follow), then read
// twice, so that every benchmark finds it in the page cache as the later
// benchmarks on a file do: the second read of a file after it was written
// took more processor time than the reads after it, which made the first
// benchmark on a file, alone or first in the run, the slower.
void Settle(const std::string& path);

// The name of variable i of a shape: numerics first, then strings.
std::string VariableName(Shape s, int i);

}  // namespace vexa::bench
