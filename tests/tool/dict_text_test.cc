// The dictionary as text: ParseFormat reads back every text that FormatText
// writes, and nothing else; a JSON dictionary with a member of the wrong kind
// is refused with its place in the document. What info --json writes, import
// --dict reads back: the tool's end-to-end test takes every member through
// both twice.
#include <gtest/gtest.h>

#include <string>

#include "dict_json.h"
#include "format_text.h"

namespace vexa::tool {
namespace {

TEST(FormatTextTest, ParseIsTheInverseForEveryType) {
  for (int type = 0; type <= 255; ++type) {
    for (FormatSpec f : {FormatSpec{type, 8, 2}, FormatSpec{type, 40, 0},
                         FormatSpec{type, 32767, 16}}) {
      std::string text = FormatText(f);
      FormatSpec back;
      ASSERT_TRUE(ParseFormat(text, &back)) << text;
      EXPECT_EQ(back, f) << text;
    }
  }
}

TEST(FormatTextTest, CommonForms) {
  const std::pair<const char*, FormatSpec> rows[] = {
      {"DOLLAR10.2", {4, 10, 2}}, {"date11", {20, 11, 0}}, {"A20", {1, 20, 0}},
      {"F8", {5, 8, 0}},
      // PIB must not be read as the start of PIBHEX, nor the reverse.
      {"PIBHEX4", {7, 4, 0}},     {"PIB4", {9, 4, 0}}};
  for (const auto& [text, want] : rows) {
    FormatSpec f;
    ASSERT_TRUE(ParseFormat(text, &f)) << text;
    EXPECT_EQ(f, want) << text;
  }
  // The names of the common types: the import rules test, by FormatText.
  EXPECT_EQ(FormatText({14, 8, 1}), "T14_8.1");
}

TEST(FormatTextTest, RefusesOtherTextAndLeavesTheOutputAlone) {
  const FormatSpec kept{3, 5, 1};
  for (const char* text :
       {"", "F", "8.2", "Q8.2", "F8.", "F.2", "F8.2x", "F8,2", "F 8.2", "F-8",
        "F+8", "F65536", "F8.256", "T_8.2", "T256_8.2", "T12", "DATETIME"}) {
    FormatSpec f = kept;
    EXPECT_FALSE(ParseFormat(text, &f)) << text;
    EXPECT_EQ(f, kept) << text;
  }
}

using Json = nlohmann::ordered_json;

TEST(DictJsonTest, WrongMembersAreNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({})", "variables: expected an array"},
      {R"({"variables": [{"type": 0}]})", "variables[0]: no name"},
      {R"({"variables": [{"name": "a"}]})", "variable a: no type"},
      {R"({"variables": [{"name": "a", "type": 0.5}]})", "variable a.type: expected an integer"},
      {R"({"variables": [{"name": "a", "type": 0, "attributes": {"x": 1}}]})",
       "variable a.attributes.x: expected a string or an array of strings"},
      {R"({"variables": [], "attributes": []})", "dictionary.attributes: expected an object"},
      {R"({"variables": [], "multiple_response_sets": [{"name": "$a", "kind": "both"}]})",
       "multiple_response_sets[0].kind: expected"},
      {R"({"variables": [], "multiple_response_sets": [{"name": "$a", "kind": "dichotomies"}]})",
       "multiple_response_sets[0].counted_value: expected an integer or a string"},
      {R"({"variables": [], "multiple_response_sets": [{"name": "$a", "variables": [1]}]})",
       "multiple_response_sets[0].variables: expected an array of strings"},
      {R"({"variables": [], "date_variables": [1, "x"]})", "date_variables: expected an array of integers"},
      {R"({"variables": [], "compression": "fast"})", "dictionary.compression: unknown name"},
  };
  for (const auto& [text, want] : cases) {
    FileSummary out;
    std::string error;
    EXPECT_FALSE(DictionaryFromJson(Json::parse(text), &out, &error)) << text;
    EXPECT_NE(error.find(want), std::string::npos) << text << " gave: " << error;
  }
}

}  // namespace
}  // namespace vexa::tool
