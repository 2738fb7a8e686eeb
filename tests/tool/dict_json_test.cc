// The JSON dictionary: what SummaryJson writes, DictionaryFromJson reads
// back to the same summary; a member of the wrong kind is refused with its
// place in the document.
#include "dict_json.h"

#include <gtest/gtest.h>

#include <string>

#include "summary_json.h"

namespace vexa::tool {
namespace {

using Json = nlohmann::ordered_json;

FileSummary Sample() {
  FileSummary s;
  s.compression = 1;
  s.file_label = "label";
  s.encoding = "windows-1252";
  s.documents = {"first", "second"};
  s.has_text_info = true;
  s.text_info = "info";
  VariableSummary n;
  n.name = "n";
  n.print_format = n.write_format = {5, 8, 2};
  n.has_label = true;
  n.label = "two\nlines";
  n.measure = 3, n.alignment = 1, n.display_width = 9, n.role = 5;
  n.is_weight = true;
  n.value_labels = {{1.5, "", "one and a half"}, {-1e300, "", "far"}};
  n.missing.code = -3;
  n.missing.numbers[0] = -99, n.missing.numbers[1] = -1, n.missing.numbers[2] = 0.25;
  n.attributes = {{"Note", {"x"}}, {"Waves", {"a", "", "c"}}};
  VariableSummary s8;
  s8.name = "s";
  s8.type = 8;
  s8.print_format = s8.write_format = {1, 8, 0};
  s8.measure = 1, s8.alignment = 0, s8.display_width = 8, s8.role = 0;
  s8.value_labels = {{0, "NA", "not asked"}};
  s8.missing.code = 2;
  s8.missing.texts[0] = "x", s8.missing.texts[1] = "y";
  s.variables = {n, s8};
  s.attributes = {{"Origin", {"field"}}};
  s.mult_resp_sets = {{"$d", "dich", true, "1", true, true, false, {"n"}},
                      {"$t", "text", true, "yes", false, false, false, {"s"}},
                      {"$c", "cats", false, "", false, false, false, {"n", "s"}}};
  s.variable_sets = {{"Set A", {"n", "s"}}};
  s.date_variables = {1, 0, 0, 0, 0, 0, 0, 0, 0};
  ExtensionSummary e;
  e.subtype = 30, e.element_size = 2, e.count = 2, e.has_data = true, e.data = "\x01\x02\xff\x00";
  e.data.resize(4);
  s.extensions = {e};
  return s;
}

void ExpectSameDictionary(const FileSummary& a, const FileSummary& b) {
  // Through JSON once more: equal documents mean every member came back.
  EXPECT_EQ(SummaryJson(a).dump(2), SummaryJson(b).dump(2));
}

TEST(DictJsonTest, WhatIsWrittenReadsBack) {
  const FileSummary s = Sample();
  const Json doc = Json::parse(SummaryJson(s).dump());
  FileSummary back;
  std::string error;
  ASSERT_TRUE(DictionaryFromJson(doc, &back, &error)) << error;
  // What an import takes, and nothing it ignores, is kept.
  back.form = s.form, back.case_count = s.case_count, back.code_page = s.code_page;
  ExpectSameDictionary(s, back);
  EXPECT_EQ(back.mult_resp_sets[0].numeric_counted, true);
  EXPECT_EQ(back.mult_resp_sets[1].numeric_counted, false);
  EXPECT_EQ(back.variables[0].attributes[1].values, (std::vector<std::string>{"a", "", "c"}));
}

TEST(DictJsonTest, ShapeOfTheDocument) {
  const Json doc = SummaryJson(Sample());
  EXPECT_EQ(doc["variables"][0]["value_labels"][0]["value"].dump(), "1.5");
  EXPECT_EQ(doc["variables"][0]["missing"]["values"].dump(), "[-99,-1,0.25]");
  EXPECT_EQ(doc["variables"][0]["attributes"].dump(), R"({"Note":"x","Waves":["a","","c"]})");
  EXPECT_FALSE(doc["variables"][1].contains("attributes"));
  EXPECT_EQ(doc["multiple_response_sets"][0]["counted_value"].dump(), "1");
  EXPECT_EQ(doc["multiple_response_sets"][1]["counted_value"].dump(), "\"yes\"");
  EXPECT_FALSE(doc["multiple_response_sets"][2].contains("counted_value"));
  EXPECT_EQ(doc["extensions"][0]["data"], "0102ff00");
  EXPECT_TRUE(FileSummary().created_iso.empty() && SummaryJson(FileSummary())["created"].is_null());
}

TEST(DictJsonTest, WrongMembersAreNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({})", "variables: expected an array"},
      {R"({"variables": [{"type": 0}]})", "variables[0]: no name"},
      {R"({"variables": [{"name": "a"}]})", "variable a: no type"},
      {R"({"variables": [{"name": "a", "type": 0.5}]})", "variable a.type: expected an integer"},
      {R"({"variables": [{"name": "a", "type": 0, "measure": "big"}]})", "variable a.measure: unknown name"},
      {R"({"variables": [{"name": "a", "type": 0, "attributes": {"x": 1}}]})",
       "variable a.attributes.x: expected a string or an array of strings"},
      {R"({"variables": [], "attributes": []})", "dictionary.attributes: expected an object"},
      {R"({"variables": [], "multiple_response_sets": [{"name": "$a", "kind": "both"}]})",
       "multiple_response_sets[0].kind: expected"},
      {R"({"variables": [], "multiple_response_sets": [{"name": "$a", "kind": "dichotomies"}]})",
       "multiple_response_sets[0].counted_value: expected an integer or a string"},
      {R"({"variables": [], "multiple_response_sets": [{"name": "$a", "variables": [1]}]})",
       "multiple_response_sets[0].variables: expected an array of strings"},
      {R"({"variables": [], "variable_sets": {}})", "variable_sets: expected an array"},
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
