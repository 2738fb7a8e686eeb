// The sample system file: a small survey of 9 variables and 4 cases that
// uses most of what a dictionary can hold, used by the C API tests and the
// damage sweeps, in either byte order.
//
//   id      F8.0        "Respondent id"
//   region  A8          string value labels N/S/E/W
//   city    A20         "City of residence" (two continuation records)
//   birth   DATE11      "Date of birth"
//   income  DOLLAR10.2  missing range -99999 to -1
//   q1      F1.0        labels 1-3 shared with q2, missing 9
//   q2      F1.0        labels shared with q1, missing 7-8 and 0
//   score   F8.2
//   wt      F8.2        the weight variable
// plus 2 document lines, machine records 3 and 4, an extension record of
// subtype 99 and the file label "Vexa sample survey".
#pragma once

#include <string>

namespace vexa::testing {

constexpr int kSampleSlots = 11;
constexpr int kSampleCases = 4;

std::string BuildSampleFile(bool big_endian = false);

}  // namespace vexa::testing
