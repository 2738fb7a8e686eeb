// Every structural failure of the dictionary records, with its error number.
// The truncations that hostile lengths also reach are checked there.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/open_bytes.h"
#include "support/sysfile_builder.h"

namespace vexa {
namespace {

using testing::OpenError;
using testing::SysFileBuilder;

struct FailureCase {
  const char* name;
  std::function<std::string(bool big)> bytes;
  long number;
};

SysFileBuilder Base(bool big) {
  SysFileBuilder b(big);
  b.Header().NumericVar("a").StringVar("s", 20).NumericVar("b");
  return b;
}

// A variable record written field by field: type, label flag, no missing
// values, zero formats and the name "x".
SysFileBuilder RawVar(bool big, int32_t type, int32_t has_label) {
  SysFileBuilder b(big);
  b.Header().Int32(2).Int32(type).Int32(has_label).Int32(0).Int32(0).Int32(0)
      .Text("x", 8);
  return b;
}

// Base with one value label record for slot 1, cut `keep` bytes into it.
std::string LabelsCut(bool big, size_t keep) {
  SysFileBuilder b = Base(big);
  size_t start = b.Offset();
  b.NumericLabels({{1, "one"}}, {1});
  return b.TruncateAt(start + keep).Bytes();
}

SysFileBuilder Missing(bool big, int32_t code, std::vector<double> values) {
  SysFileBuilder b(big);
  b.Header().NumericVar("m", {.missing_code = code, .missing = std::move(values)});
  return b;
}

const FailureCase kCases[] = {
    {"EndWhereARecordTypeIsDue", [](bool b) { return Base(b).Bytes(); },
     kErrTruncated},
    {"EndInsideTermination", [](bool b) { return Base(b).Int32(999).Bytes(); },
     kErrTruncated},
    {"UnknownRecordType", [](bool b) { return Base(b).Int32(5).End().Bytes(); },
     kErrBadStructure},
    {"IndexRecordOnItsOwn",
     [](bool b) { return Base(b).Int32(4).Int32(1).Int32(1).End().Bytes(); },
     kErrBadStructure},
    {"EndInsideLabelCount",
     [](bool b) { return Base(b).Int32(3).Raw("\1\0").Bytes(); },
     kErrTruncated},
    {"EndInsideLabelText", [](bool b) { return LabelsCut(b, 8 + 9 + 3); },
     kErrTruncated},
    {"EndBeforeIndexRecord", [](bool b) { return LabelsCut(b, 8 + 16 + 6); },
     kErrTruncated},
    {"LabelsFollowedByADocument",
     [](bool b) { return Base(b).Int32(3).Int32(0).Document({"x"}).End().Bytes(); },
     kErrBadStructure},
    {"IndexRecordListingNoVariables",
     [](bool b) { return Base(b).Int32(3).Int32(0).Int32(4).Int32(0).End().Bytes(); },
     kErrBadStructure},
    {"EndInsideExtensionHeader",
     [](bool b) { return Base(b).Int32(7).Int32(99).Int32(1).Bytes(); },
     kErrTruncated},
    {"ExtensionOfSizeZero",
     [](bool b) { return Base(b).Extension(99, 0, 2, "").End().Bytes(); },
     kErrBadStructure},
    {"ExtensionOfCountZero",
     [](bool b) { return Base(b).Extension(99, 1, 0, "").End().Bytes(); },
     kErrBadStructure},
    {"ExtensionOfNegativeSize",
     [](bool b) { return Base(b).Extension(99, -1, 2, "ab").End().Bytes(); },
     kErrBadStructure},
    {"ExtensionOfNegativeSubtype",
     [](bool b) { return Base(b).Extension(-3, 1, 2, "ab").End().Bytes(); },
     kErrBadStructure},
    {"EncryptedWithoutPassword",
     [](bool) { return std::string("\0\0\0\0\0\0\0\0ENCRYPTEDSAV....", 24); },
     kErrNeedsPassword},
    {"StringWiderThan255",
     [](bool b) { return SysFileBuilder(b).Header().StringVar("w", 256).End().Bytes(); },
     kErrBadStructure},
    {"TypeBelowContinuation", [](bool b) { return RawVar(b, -2, 0).End().Bytes(); },
     kErrBadStructure},
    {"MissingCodeFour",
     [](bool b) { return Missing(b, 4, {1, 2, 3, 4}).End().Bytes(); },
     kErrBadStructure},
    {"MissingCodeMinusOne", [](bool b) { return Missing(b, -1, {1}).End().Bytes(); },
     kErrBadStructure},
    {"NegativeVariableLabelLength",
     [](bool b) { return RawVar(b, 0, 1).Int32(-4).End().Bytes(); },
     kErrBadStructure},
    {"NegativeDocumentLineCount",
     [](bool b) { return Base(b).Int32(6).Int32(-1).End().Bytes(); },
     kErrBadStructure},
    {"NegativeLabelCount",
     [](bool b) { return Base(b).Int32(3).Int32(-1).End().Bytes(); },
     kErrBadStructure},
};

class RecordFailureTest
    : public ::testing::TestWithParam<std::tuple<FailureCase, bool>> {};

TEST_P(RecordFailureTest, RaisesTheNumber) {
  const auto& [c, big] = GetParam();
  EXPECT_EQ(OpenError(c.bytes(big)), c.number);
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordFailureTest,
    ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Bool()),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) +
             (std::get<1>(info.param) ? "_Big" : "_Little");
    });

// Value label indexes must name the first slot of a variable.
class LabelIndexTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(LabelIndexTest, OtherSlotsAreRejected) {
  EXPECT_EQ(OpenError(Base(false)
                          .NumericLabels({{1, "one"}}, {1, GetParam()})
                          .End()
                          .Bytes()),
            kErrBadStructure);
}

// 0, negative, a continuation slot of the string, beyond the five slots.
INSTANTIATE_TEST_SUITE_P(Slots, LabelIndexTest,
                         ::testing::Values(0, -1, 3, 4, 6, 0x7FFFFFFF));

}  // namespace
}  // namespace vexa
