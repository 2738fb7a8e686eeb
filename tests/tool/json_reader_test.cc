// Reading JSON: what `vexa info --json` prints must come back unchanged,
// and broken documents must be refused with a line number.
#include "json_reader.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <sstream>
#include <string>

#include "json_writer.h"

namespace vexa::tool {
namespace {

JsonValue Parse(const std::string& text) {
  JsonValue v;
  std::string error;
  EXPECT_TRUE(ParseJson(text, &v, &error)) << error;
  return v;
}

std::string ErrorOf(const std::string& text) {
  JsonValue v;
  std::string error;
  EXPECT_FALSE(ParseJson(text, &v, &error)) << text;
  return error;
}

TEST(JsonReaderTest, ReadsBackWhatTheWriterWrites) {
  const std::string texts[] = {"plain", "quote \" and \\ slash", "tab\tnew\nline",
                               std::string("nul\0byte", 8), "\x01\x1f",
                               "caf\xC3\xA9 \xF0\x9F\x98\x80"};
  const double numbers[] = {0.0, -0.5, 1e-300, DBL_MAX, -DBL_MAX,
                            -1.7976931348623155e308, 13930358400.0, 0.1};
  std::ostringstream out;
  JsonWriter w(out);
  w.BeginObject();
  w.Key("texts");
  w.BeginArray();
  for (const std::string& t : texts) w.String(t);
  w.EndArray();
  w.Key("numbers");
  w.BeginArray();
  for (double d : numbers) w.Number(d);
  w.EndArray();
  w.Key("flags");
  w.BeginArray();
  w.Bool(true), w.Bool(false), w.Null();
  w.EndArray();
  w.Key("empty");
  w.BeginObject();
  w.EndObject();
  w.EndObject();

  JsonValue doc = Parse(out.str());
  const JsonValue* t = doc.Find("texts");
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(t->items.size(), std::size(texts));
  for (size_t i = 0; i < std::size(texts); ++i) EXPECT_EQ(t->items[i].text, texts[i]);
  const JsonValue* n = doc.Find("numbers");
  ASSERT_EQ(n->items.size(), std::size(numbers));
  for (size_t i = 0; i < std::size(numbers); ++i) {
    EXPECT_EQ(n->items[i].number, numbers[i]) << i;  // bit-exact
  }
  const JsonValue* f = doc.Find("flags");
  EXPECT_TRUE(f->items[0].IsBool() && f->items[0].boolean);
  EXPECT_TRUE(f->items[1].IsBool() && !f->items[1].boolean);
  EXPECT_TRUE(f->items[2].IsNull());
  EXPECT_TRUE(doc.Find("empty")->IsObject());
  EXPECT_EQ(doc.Find("absent"), nullptr);
}

TEST(JsonReaderTest, EscapesIncludingSurrogatePairs) {
  JsonValue v = Parse(R"(["\/\b\f\r", "\u00e9\u20AC", "\ud83d\ude00"])");
  EXPECT_EQ(v.items[0].text, "/\b\f\r");
  EXPECT_EQ(v.items[1].text, "\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(v.items[2].text, "\xF0\x9F\x98\x80");
}

TEST(JsonReaderTest, MembersKeepTheirOrderAndTheLastRepeatWins) {
  JsonValue v = Parse(" {\"b\": 1, \"a\": 2, \"b\": 3}\r\n");
  ASSERT_EQ(v.members.size(), 3u);
  EXPECT_EQ(v.members[0].first, "b");
  EXPECT_EQ(v.Find("b")->number, 3);
}

TEST(JsonReaderTest, RefusesBrokenDocumentsWithTheLine) {
  EXPECT_NE(ErrorOf("{\n\"a\": 1,\n\"b\" 2}").find("line 3"), std::string::npos);
  for (const std::string text : {"", "[1, 2", "[1,]", "{\"a\": 1} x", "\"unterminated",
                                 "\"raw\nbreak\"", "[\"\\x\"]", "[\"\\ud800\"]", "[tru]", "[1e999]",
                                 "[-]"}) {
    ErrorOf(text);
  }
  ErrorOf(std::string(100, '['));
}

}  // namespace
}  // namespace vexa::tool
