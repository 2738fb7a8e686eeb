#include "support/sample_file.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "support/calendar.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

// A numeric variable's options with the same print and write format.
VarOptions Numeric(const char* label, uint32_t type, uint32_t width, uint32_t decimals,
                   int32_t missing_code = 0, std::vector<double> missing = {}) {
  const uint32_t format = type << 16 | width << 8 | decimals;
  return {.label = label, .missing_code = missing_code, .missing = std::move(missing),
          .print_format = format, .write_format = format};
}

// Seconds since 14 October 1582 for a date of the Gregorian calendar.
double DateValue(int64_t year, int64_t month, int64_t day) {
  return static_cast<double>(DayNumber(year, month, day) * kSecondsPerDay);
}

}  // namespace

std::string BuildSampleFile(bool big_endian) {
  SysFileBuilder b(big_endian);
  b.Header({.weight_index = 11, .case_count = kSampleCases, .date = "14 Mar 24",
            .time = "09:30:00", .label = "Vexa sample survey"});
  b.NumericVar("id", Numeric("Respondent id", 5, 8, 0));
  b.StringVar("region", 8, {.label = "Sales region"});
  b.StringVar("city", 20, {.label = "City of residence"});
  b.NumericVar("birth", Numeric("Date of birth", 20, 11, 0));
  b.NumericVar("income", Numeric("Yearly income", 4, 10, 2, -2, {-99999.0, -1.0}));
  b.NumericVar("q1", Numeric("Satisfaction with service", 5, 1, 0, 1, {9.0}));
  b.NumericVar("q2", Numeric("Satisfaction with price", 5, 1, 0, -3, {7.0, 8.0, 0.0}));
  b.NumericVar("score");
  b.NumericVar("wt", {.label = "Case weight"});
  b.MachineInts().MachineFloats();
  b.NumericLabels({{1, "Low"}, {2, "Medium"}, {3, "High"}}, {8, 9});
  b.StringLabels({{"N", "North"}, {"S", "South"}, {"E", "East"}, {"W", "West"}}, {2});
  b.Document({"Sample file made by the test fixtures.",
              "Four respondents, one of them with missing answers."});
  b.Extension(99, 1, 12, "opaque bytes");
  b.End();

  struct Row {
    double id;
    const char* region;
    const char* city;
    double birth, income, q1, q2, score, wt;
  };
  const Row rows[kSampleCases] = {
      {1, "N", "Aberdeen", DateValue(1980, 3, 15), 41250.5, 3, 2, 7.25, 1.0},
      {2, "S", "Brighton and Hove", DateValue(1975, 11, 2), 38900, 2, 1, 6.5, 0.8},
      {3, "E", "Cambridge", DateValue(1992, 7, 30), -1, 9, 0, 8.0, 1.2},
      {4, "W", "Swansea", DateValue(1968, 1, 1), 52000, 1, 3, 5.75, 1.0},
  };
  for (const Row& r : rows) {
    b.CaseNumber(r.id).CaseText(r.region, 8).CaseText(r.city, 20).CaseNumber(r.birth);
    b.CaseNumber(r.income).CaseNumber(r.q1).CaseNumber(r.q2).CaseNumber(r.score).CaseNumber(r.wt);
  }
  return b.Bytes();
}

}  // namespace vexa::testing
