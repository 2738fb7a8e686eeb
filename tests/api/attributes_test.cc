// Attribute calls: subscripted names handed out and taken in, the name
// rules, and roles and attributes through write, read, copy and read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/api_fixture.h"

namespace vexa::testing {
namespace {

// The attributes a getter hands out, as "name=value;" pairs.
std::string Listed(int code, char** names, char** values, int count) {
  std::string out = std::to_string(code) + ":";
  for (int i = 0; i < count; ++i) out += std::string(names[i]) + "=" + values[i] + ";";
  vexaFreeAttributes(names, values, count);
  return out;
}

std::string FileAttributes(int h) {
  char** names = nullptr;
  char** values = nullptr;
  int count = -1;
  const int code = vexaGetFileAttributes(h, &names, &values, &count);
  return Listed(code, names, values, count);
}

std::string VarAttributes(int h, const char* var) {
  char** names = nullptr;
  char** values = nullptr;
  int count = -1;
  const int code = vexaGetVarAttributes(h, var, &names, &values, &count);
  return Listed(code, names, values, count);
}

using AttributeCallsTest = WriteHandleTest;

TEST_F(AttributeCallsTest, SubscriptsAndNameRules) {
  const int h = handle_;
  ASSERT_EQ(vexaSetVarName(h, "v", 0), VEXA_OK);
  EXPECT_EQ(FileAttributes(h), "0:");
  const char* names[] = {"Tag[1]", "Tag[3]", "skipped", "One"};
  const char* values[] = {"a", "c", "", "x"};
  EXPECT_EQ(vexaSetFileAttributes(h, names, values, 4), VEXA_OK);
  EXPECT_EQ(FileAttributes(h), "0:Tag[1]=a;Tag[3]=c;One=x;");
  for (int k = 1; k <= 12; ++k) {
    EXPECT_EQ(vexaAddVarAttribute(h, "v", "Many", k, std::to_string(k).c_str()), VEXA_OK);
  }
  EXPECT_EQ(VarAttributes(h, "v").substr(0, 26), "0:Many[01]=1;Many[02]=2;Ma");
  EXPECT_EQ(vexaAddVarAttribute(h, "v", "Many", -1, "only"), VEXA_OK);
  EXPECT_EQ(VarAttributes(h, "v"), "0:Many=only;");

  struct {
    const char* name;
    int subscript;
    int code;
  } adds[] = {
      {"Tag", 0, VEXA_E_BAD_ATTRIBUTE_ARGS}, {"Tag", -2, VEXA_E_BAD_ATTRIBUTE_ARGS},
      {"", -1, VEXA_E_BAD_ATTRIBUTE_ARGS},   {"$Foo", -1, VEXA_E_BAD_ATTRIBUTE_NAME},
      {"Tag.", -1, VEXA_E_BAD_ATTRIBUTE_NAME}, {"a_", -1, VEXA_E_BAD_ATTRIBUTE_NAME},
      {"$creationdate", -1, VEXA_OK},          {"$@Role", -1, VEXA_E_BAD_ATTRIBUTE_NAME},
  };
  for (const auto& a : adds) {
    EXPECT_EQ(vexaAddFileAttribute(h, a.name, a.subscript, "v"), a.code) << a.name;
  }
  EXPECT_EQ(vexaAddVarAttribute(h, "nope", "Tag", -1, "v"), VEXA_E_VAR_NOT_FOUND);
  EXPECT_EQ(vexaSetFileAttributes(h, nullptr, nullptr, 1), VEXA_E_BAD_ATTRIBUTE_ARGS);
  for (const char* bad : {"Tag[0]", "Tag[2147483647]", "Tag[1]x", "Tag[]", "Tag[-1]"}) {
    const char* one[] = {bad};
    EXPECT_EQ(vexaSetFileAttributes(h, one, values, 1), VEXA_E_BAD_ATTRIBUTE_NAME) << bad;
  }
  EXPECT_EQ(FileAttributes(h), "0:Tag[1]=a;Tag[3]=c;One=x;$creationdate=v;");
}

// Every role, measurement levels 4 and 5 and both kinds of attributes, after
// write, read, copy and read.
TEST_F(AttributeCallsTest, SurviveWriteReadCopyRead) {
  const int h = handle_;
  const int roles[] = {VEXA_ROLE_INPUT,     VEXA_ROLE_TARGET, VEXA_ROLE_BOTH,
                       VEXA_ROLE_NONE,      VEXA_ROLE_PARTITION, VEXA_ROLE_SPLIT,
                       VEXA_ROLE_FREQUENCY, VEXA_ROLE_RECORD_ID};
  for (int role : roles) {
    const std::string name = "r" + std::to_string(role);
    ASSERT_EQ(vexaSetVarName(h, name.c_str(), 0), VEXA_OK);
    ASSERT_EQ(vexaSetVarRole(h, name.c_str(), role), VEXA_OK);
  }
  ASSERT_EQ(vexaSetVarMeasureLevel(h, "r1", 5), VEXA_OK);
  ASSERT_EQ(vexaAddVarAttribute(h, "r2", "Note", 2, "it's"), VEXA_OK);
  ASSERT_EQ(vexaAddFileAttribute(h, "Source", -1, "survey"), VEXA_OK);
  for (const std::string& path : CommitAndCopy()) {
    int r = -1;
    ASSERT_EQ(vexaOpenRead(path.c_str(), &r), VEXA_OK);
    std::vector<int> got;
    for (int role : roles) {
      int out = -1;
      EXPECT_EQ(vexaGetVarRole(r, ("r" + std::to_string(role)).c_str(), &out), VEXA_OK);
      got.push_back(out);
    }
    // Frequency and record id are read as "none", with their own role kept
    // as an attribute.
    EXPECT_EQ(got, (std::vector<int>{0, 1, 2, 3, 4, 5, 3, 3})) << path;
    EXPECT_EQ(VarAttributes(r, "r1"), "0:$@MeasurementLevel=5;");
    EXPECT_EQ(VarAttributes(r, "r2"), "0:Note[2]=it's;");
    EXPECT_EQ(VarAttributes(r, "r6"), "0:$@ExtendRole=6;");
    EXPECT_EQ(FileAttributes(r), "0:Source=survey;");
    EXPECT_EQ(vexaSetFileAttributes(r, nullptr, nullptr, 0), VEXA_E_OPENED_FOR_READ);
    EXPECT_EQ(vexaCloseRead(r), VEXA_OK);
  }
}

}  // namespace
}  // namespace vexa::testing
