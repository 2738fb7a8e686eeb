// Damaged dictionaries, in both byte orders. Every kind of structural damage
// of a record, with its error number; length fields that claim more than the
// file holds, wrap when added to, or are negative, which must fail without
// allocating what they ask for; and the sample file cut at every byte, which
// opens or fails with a file error. This program replaces the global
// operator new to record the largest single allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <iterator>
#include <functional>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "support/open_bytes.h"
#include "support/replace_new.h"
#include "support/sample_file.h"
#include "support/sysfile_builder.h"

namespace {
std::atomic<size_t> g_largest{0};
}  // namespace

void NoteAllocation(size_t size) {
  size_t seen = g_largest.load(std::memory_order_relaxed);
  while (size > seen && !g_largest.compare_exchange_weak(seen, size)) continue;
}

namespace vexa {
namespace {

using testing::OpenError;
using testing::SysFileBuilder;

// a, s (A20: slots 2-4), b.
const auto Base = [](bool big) { return testing::ThreeVariables(big); };

// A variable record written field by field: type, label flag, missing
// value code, zero formats and the name "x".
SysFileBuilder RawVar(bool big, int32_t type, int32_t has_label, int32_t missing = 0) {
  SysFileBuilder b(big);
  b.Header().Int32(2).Int32(type).Int32(has_label).Int32(missing).Int32(0).Int32(0)
      .Text("x", 8);
  return b;
}

// Each file is composed in either byte order. Files cut short inside a
// record are the truncation sweep's, over the sample file's every record.
using Compose = std::function<SysFileBuilder(bool big)>;

struct FailureCase { std::string name; Compose bytes; long number; };

const FailureCase kCases[] = {
    {"EndWhereARecordTypeIsDue", Base, kErrTruncated},
    {"UnknownRecordType", [](bool b) { return Base(b).Int32(5).End(); }, kErrBadStructure},
    {"IndexRecordOnItsOwn", [](bool b) { return Base(b).Int32(4).Int32(1).Int32(1).End(); },
     kErrBadStructure},
    {"LabelsFollowedByADocument",
     [](bool b) { return Base(b).Int32(3).Int32(0).Document({"x"}).End(); }, kErrBadStructure},
    {"IndexRecordListingNoVariables",
     [](bool b) { return Base(b).Int32(3).Int32(0).Int32(4).Int32(0).End(); }, kErrBadStructure},
    // Slot 2 would name the late variable if the slot map were rebuilt.
    {"LabelsForAVariableAfterOtherRecords",
     [](bool b) {
       return SysFileBuilder(b).Header().NumericVar("a").Document({"x"}).NumericVar("late")
           .NumericLabels({{1, "one"}}, {2}).End();
     },
     kErrBadStructure},
    {"ExtensionOfSizeZero", [](bool b) { return Base(b).Extension(99, 0, 2, "").End(); },
     kErrBadStructure},
    {"ExtensionOfCountZero", [](bool b) { return Base(b).Extension(99, 1, 0, "").End(); },
     kErrBadStructure},
    {"ExtensionOfNegativeSubtype", [](bool b) { return Base(b).Extension(-3, 1, 2, "ab").End(); },
     kErrBadStructure},
    {"StringWiderThan255",
     [](bool b) { return SysFileBuilder(b).Header().StringVar("w", 256).End(); }, kErrBadStructure},
    {"TypeBelowContinuation", [](bool b) { return RawVar(b, -2, 0).End(); }, kErrBadStructure},
    {"MissingCodeFour",
     [](bool b) { return RawVar(b, 0, 0, 4).Double(1).Double(2).Double(3).Double(4).End(); },
     kErrBadStructure},
    {"MissingCodeMinusOne", [](bool b) { return RawVar(b, 0, 0, -1).Double(1).End(); },
     kErrBadStructure},
};

// One length field of a record, filled with a given value; every other
// field is well formed. Too large, a field of the record's frame claims
// more than the file holds (a truncation); one inside contents already
// read whole claims more than the record holds (a structure error).
struct LengthField {
  const char* name;
  std::function<SysFileBuilder(bool big, int32_t)> bytes;
  bool in_contents = false;
};

// A long-string value label record for s: name length, name, width,
// count, then one value and label, each with its length.
SysFileBuilder LongStringLabels(bool big, int32_t name_length, int32_t count,
                                int32_t value_length, int32_t label_length) {
  const std::string contents = testing::Ints({name_length}, big) + "s" +
                               testing::Ints({20, count, value_length}, big) + "a" +
                               testing::Ints({label_length}, big) + "A";
  return Base(big).Extension(21, contents).End();
}

const LengthField kFields[] = {
    {"VariableLabelLength",
     [](bool b, int32_t v) { return RawVar(b, 0, 1).Int32(v).Raw("abcd").End(); }},
    {"DocumentLineCount",
     [](bool b, int32_t v) { return Base(b).Int32(6).Int32(v).Text("", 80).End(); }},
    {"LabelCount",
     [](bool b, int32_t v) {
       return Base(b).Int32(3).Int32(v).Raw(std::string(8, 'x')).Raw(std::string(8, '\0')).End();
     }},
    {"IndexCount",
     [](bool b, int32_t v) { return Base(b).Int32(3).Int32(0).Int32(4).Int32(v).Int32(1).End(); }},
    {"ExtensionUnitSize",
     [](bool b, int32_t v) { return Base(b).Extension(99, v, 2, "ab").End(); }},
    {"ExtensionUnitCount",
     [](bool b, int32_t v) { return Base(b).Extension(99, 2, v, "ab").End(); }},
    {"LongStringLabelNameLength",
     [](bool b, int32_t v) { return LongStringLabels(b, v, 1, 1, 1); }, true},
    {"LongStringLabelCount",
     [](bool b, int32_t v) { return LongStringLabels(b, 1, v, 1, 1); }, true},
    {"LongStringLabelValueLength",
     [](bool b, int32_t v) { return LongStringLabels(b, 1, 1, v, 1); }, true},
    {"LongStringLabelLabelLength",
     [](bool b, int32_t v) { return LongStringLabels(b, 1, 1, 1, v); }, true},
};

// Values that wrap when 8 or 4 is added in 32 bits, and negative ones.
const int32_t kHostileValues[] = {0x7FFFFFFF, 0x7FFFFFFC, 0x7FFFFFF0, -1, INT32_MIN};

// The fixed cases, every bad label index, and every length field with
// every hostile value.
std::vector<FailureCase> AllCases() {
  std::vector<FailureCase> out(std::begin(kCases), std::end(kCases));
  // Value label indexes must name the first slot of a variable: not 0, a
  // negative, a continuation slot of the string or beyond the five slots.
  for (int32_t slot : {0, -1, 3, 4, 6, 0x7FFFFFFF}) {
    out.push_back({"LabelIndexSlot" + (slot < 0 ? "Minus1" : std::to_string(slot)),
                   [slot](bool b) { return Base(b).NumericLabels({{1, "one"}}, {1, slot}).End(); },
                   kErrBadStructure});
  }
  for (const LengthField& f : kFields) {
    for (int32_t v : kHostileValues) {
      out.push_back({std::string(f.name) + (v < 0 ? "_minus" : "_") + std::to_string(std::abs(int64_t{v})),
                     [f, v](bool big) { return f.bytes(big, v); },
                     v < 0 || f.in_contents ? kErrBadStructure : kErrTruncated});
    }
  }
  return out;
}

class RecordFailureTest : public ::testing::TestWithParam<std::tuple<FailureCase, bool>> {};

TEST_P(RecordFailureTest, RaisesTheNumberWithoutAHugeAllocation) {
  const auto& [c, big] = GetParam();
  const std::string bytes = c.bytes(big).Bytes();
  g_largest.store(0);
  EXPECT_EQ(OpenError(bytes), c.number);
  EXPECT_LT(g_largest.load(), size_t{64} * 1024);
}

INSTANTIATE_TEST_SUITE_P(Records, RecordFailureTest,
                         ::testing::Combine(::testing::ValuesIn(AllCases()), ::testing::Bool()),
                         [](const auto& info) {
                           return std::get<0>(info.param).name +
                                  (std::get<1>(info.param) ? "_Big" : "_Little");
                         });

class DamageSweepTest : public ::testing::TestWithParam<bool> {};

TEST_P(DamageSweepTest, EveryTruncationOpensOrFails) {
  const std::string file = testing::BuildSampleFile(GetParam());
  const int64_t data_start = testing::OpenBytes(file)->DataStart();
  for (size_t cut = 0; cut < file.size(); ++cut) {
    SCOPED_TRACE(::testing::Message() << "cut at " << cut);
    // Everything before the case data is needed to open; short of it the
    // file fails as cut off, whichever field the cut falls in.
    const std::optional<long> expected =
        static_cast<int64_t>(cut) >= data_start ? std::nullopt : std::optional<long>(kErrTruncated);
    EXPECT_EQ(OpenError(file.substr(0, cut)), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(BothOrders, DamageSweepTest, ::testing::Bool());

}  // namespace
}  // namespace vexa
