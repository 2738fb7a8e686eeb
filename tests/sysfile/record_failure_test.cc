// Every structural failure of the dictionary records, with its error number
// and the exact condition text that the exception carries. The truncation
// conditions that hostile lengths also reach are checked there.
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
  const char* condition;
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
     kErrTruncated, "len == sizeof(recType)"},
    {"EndInsideTermination", [](bool b) { return Base(b).Int32(999).Bytes(); },
     kErrTruncated, "len == sizeof(padding)"},
    {"UnknownRecordType", [](bool b) { return Base(b).Int32(5).End().Bytes(); },
     kErrBadStructure, "false"},
    {"IndexRecordOnItsOwn",
     [](bool b) { return Base(b).Int32(4).Int32(1).Int32(1).End().Bytes(); },
     kErrBadStructure, "false"},
    {"EndInsideLabelCount",
     [](bool b) { return Base(b).Int32(3).Raw("\1\0").Bytes(); },
     kErrTruncated, "len == sizeof(nLabels)"},
    {"EndInsideLabelText", [](bool b) { return LabelsCut(b, 8 + 9 + 3); },
     kErrTruncated, "len == paddedLen"},
    {"EndBeforeIndexRecord", [](bool b) { return LabelsCut(b, 8 + 16 + 6); },
     kErrTruncated, "len == 2*sizeof(int32)"},
    {"LabelsFollowedByADocument",
     [](bool b) { return Base(b).Int32(3).Int32(0).Document({"x"}).End().Bytes(); },
     kErrBadStructure, "h[0] == 4"},
    {"IndexRecordListingNoVariables",
     [](bool b) { return Base(b).Int32(3).Int32(0).Int32(4).Int32(0).End().Bytes(); },
     kErrBadStructure, "h[1] > 0"},
    {"EndInsideExtensionHeader",
     [](bool b) { return Base(b).Int32(7).Int32(99).Int32(1).Bytes(); },
     kErrTruncated, "len == 3*sizeof(int32)"},
    {"ExtensionOfSizeZero",
     [](bool b) { return Base(b).Extension(99, 0, 2, "").End().Bytes(); },
     kErrBadStructure, "m_nUnits && m_unitSize"},
    {"ExtensionOfCountZero",
     [](bool b) { return Base(b).Extension(99, 1, 0, "").End().Bytes(); },
     kErrBadStructure, "m_nUnits && m_unitSize"},
    {"ExtensionOfNegativeSize",
     [](bool b) { return Base(b).Extension(99, -1, 2, "ab").End().Bytes(); },
     kErrBadStructure, "m_nUnits > 0 && m_unitSize > 0"},
    {"ExtensionOfNegativeSubtype",
     [](bool b) { return Base(b).Extension(-3, 1, 2, "ab").End().Bytes(); },
     kErrBadStructure, "h[0] >= 0"},
    {"EncryptedWithoutPassword",
     [](bool) { return std::string("\0\0\0\0\0\0\0\0ENCRYPTEDSAV....", 24); },
     kErrNeedsPassword, "type != kENCRYPTED"},
    {"StringWiderThan255",
     [](bool b) { return SysFileBuilder(b).Header().StringVar("w", 256).End().Bytes(); },
     kErrBadStructure, "type >= -1 && type <= 255"},
    {"TypeBelowContinuation", [](bool b) { return RawVar(b, -2, 0).End().Bytes(); },
     kErrBadStructure, "type >= -1 && type <= 255"},
    {"MissingCodeFour",
     [](bool b) { return Missing(b, 4, {1, 2, 3, 4}).End().Bytes(); },
     kErrBadStructure, "IsKnownMissingCode(missingCode)"},
    {"MissingCodeMinusOne", [](bool b) { return Missing(b, -1, {1}).End().Bytes(); },
     kErrBadStructure, "IsKnownMissingCode(missingCode)"},
    {"NegativeVariableLabelLength",
     [](bool b) { return RawVar(b, 0, 1).Int32(-4).End().Bytes(); },
     kErrBadStructure, "labelLen >= 0"},
    {"NegativeDocumentLineCount",
     [](bool b) { return Base(b).Int32(6).Int32(-1).End().Bytes(); },
     kErrBadStructure, "nLines >= 0"},
    {"NegativeLabelCount",
     [](bool b) { return Base(b).Int32(3).Int32(-1).End().Bytes(); },
     kErrBadStructure, "nLabels >= 0"},
};

class RecordFailureTest
    : public ::testing::TestWithParam<std::tuple<FailureCase, bool>> {};

TEST_P(RecordFailureTest, RaisesTheNumberAndCondition) {
  const auto& [c, big] = GetParam();
  std::optional<testing::FileError> error = OpenError(c.bytes(big));
  ASSERT_TRUE(error.has_value()) << "the file opened";
  EXPECT_EQ(error->number, c.number);
  EXPECT_EQ(error->condition, c.condition);
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
  std::optional<testing::FileError> error = OpenError(
      Base(false).NumericLabels({{1, "one"}}, {1, GetParam()}).End().Bytes());
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number, kErrBadStructure);
  EXPECT_EQ(error->condition, "index names the first slot of a variable");
}

// 0, negative, a continuation slot of the string, beyond the five slots.
INSTANTIATE_TEST_SUITE_P(Slots, LabelIndexTest,
                         ::testing::Values(0, -1, 3, 4, 6, 0x7FFFFFFF));

}  // namespace
}  // namespace vexa
