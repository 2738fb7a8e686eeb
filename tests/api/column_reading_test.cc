// Chosen variables read into arrays of their own hold the values of the
// whole cases read in batches: in every form and byte order, in calls of any
// size, across the segments of very long strings, up to a damaged case; so
// do texts read as codes of distinct texts, whether they fit the room for
// them or fall back to plain texts.
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

struct Var {
  size_t offset, bytes;  // in a case; a value's in its array
  bool text;
};
// The variables of the files below by handle - 1: the library's, the builder's.
const std::vector<Var> kWritten = {{0, 8, false}, {8, 300, true}, {312, 3, true}};
const std::vector<Var> kBuilt = {{0, 8, false}, {8, 8, true}, {16, 8, false}};

// The rest of a file: the chosen variables' values as one text each, then
// "cases:code"; `batch` cases a call by columns or (batch < 0) by whole
// cases. A column call that writes past the cases it reports ends it (-1).
// With a room, the string variables come grouped, room texts each, and one
// that falls back (counted in `fell`) plain from the next call on; texts
// held twice end the read (-2).
std::vector<std::string> ReadRest(int h, const std::vector<Var>& vars,
                                  const std::vector<double>& chosen, int batch, int options,
                                  int room = 0, int* fell = nullptr) {
  const size_t calls = static_cast<size_t>(std::abs(batch)), n = chosen.size();
  const auto var = [&](size_t k) { return vars[static_cast<size_t>(chosen[k]) - 1]; };
  const size_t case_bytes = vars.back().offset + 8;
  std::vector<std::string> out(n + 1), arrays(n), plain(n), texts(n);
  std::vector<void*> at(n);
  std::vector<VexaTextGroup> groups(n);
  for (size_t k = 0; k < n; ++k) {
    texts[k].assign(static_cast<size_t>(room) * var(k).bytes, '#');
    if (room > 0 && var(k).text) groups[k] = {texts[k].data(), room, 0, nullptr};
  }
  std::string cases(calls * case_bytes, '#');
  int code = VEXA_OK, got = 0, total = 0;
  for (; code == VEXA_OK; total += got) {
    for (size_t k = 0; k < n; ++k) {
      const size_t bytes = groups[k].texts != nullptr ? 4 : var(k).bytes;
      at[k] = (arrays[k] = std::string(calls * bytes, '#')).data();
      groups[k].plain = (plain[k] = std::string(calls * var(k).bytes, '#')).data();
    }
    const int count = static_cast<int>(n);
    code = batch < 0  ? vexaWholeCasesInEx(h, cases.data(), -batch, options, &got)
           : room > 0 ? vexaGroupedColumnsIn(h, count, chosen.data(), at.data(), groups.data(),
                                             batch, options, &got)
                      : vexaColumnsIn(h, count, chosen.data(), at.data(), batch, options, &got);
    for (size_t k = 0; k < n; ++k) {
      const size_t w = var(k).bytes, bytes = groups[k].texts != nullptr ? 4 : w;
      for (size_t i = 0; i < static_cast<size_t>(got); ++i) {
        int32_t c = -1;
        if (batch < 0) {
          out[k] += cases.substr(i * case_bytes + var(k).offset, w);
        } else if (groups[k].count < 0 || groups[k].texts == nullptr) {
          out[k] += (groups[k].count < 0 ? plain[k] : arrays[k]).substr(i * w, w);
        } else {
          std::memcpy(&c, arrays[k].data() + i * 4, 4);
          out[k] += c >= 0 && c < groups[k].count ? texts[k].substr(c * w, w) : "?";
        }
      }
      if (batch > 0 && arrays[k].find_first_not_of('#', got * bytes) != std::string::npos) code = -1;
      std::set<std::string> distinct;
      for (int c = 0; c < groups[k].count; ++c) distinct.insert(texts[k].substr(c * w, w));
      if (distinct.size() != static_cast<size_t>(std::max(0, groups[k].count))) code = -2;
      if (groups[k].count < 0) {
        groups[k] = {};
        ++*fell;
      }
    }
  }
  out[n] = std::to_string(total) + ":" + std::to_string(code);
  return out;
}

TEST(ColumnReadingTest, ColumnsHoldTheValuesOfWholeCases) {
  TempDir dir;
  std::vector<std::pair<std::string, const std::vector<Var>*>> files;
  for (int compression : {0, 1, 2}) {
    const std::string path = dir.File("w" + std::to_string(compression) + ".vexa");
    int h = -1;
    ASSERT_EQ(Each({vexaOpenWrite(path.c_str(), &h), vexaSetCompression(h, compression),
                    vexaSetVarName(h, "n", 0), vexaSetVarName(h, "long", 300),
                    vexaSetVarName(h, "t", 3), vexaCommitHeader(h)}),
              VEXA_OK);
    for (int i = 0; i < 1000; ++i) {  // more than a batch of the library's
      // A text for ten cases at a time.
      const std::string text = std::string(250 + i / 10 % 47, 'a') + std::to_string(i / 10);
      ASSERT_EQ(Each({vexaSetValueNumeric(h, 1, i % 5 ? i : vexaSysmisVal()),
                      vexaSetValueChar(h, 2, text.c_str()),
                      vexaSetValueChar(h, 3, i % 2 ? "ab" : "xyz"), vexaCommitCaseRecord(h)}),
                VEXA_OK);
    }
    ASSERT_EQ(vexaCloseWrite(h), VEXA_OK);
    files.emplace_back(path, &kWritten);
    for (bool big : {false, true}) {  // another writer's, in either byte order
      SysFileBuilder b(big);
      b.Header({.magic = compression == 2 ? "$FL3" : "$FL2", .compression = compression});
      b.NumericVar("a").StringVar("s", 8).NumericVar("b").MachineInts().MachineFloats().End();
      std::vector<std::vector<CaseSlot>> cases;
      for (int i = 0; i < 300; ++i) {
        const double a = i % 4 ? i * 0.5 : vexaSysmisVal();
        cases.push_back(
            {CaseSlot::Number(a), CaseSlot::Text(std::to_string(i % 11)), CaseSlot::Number(-i)});
        if (compression == 0) b.CaseNumber(a).CaseText(std::to_string(i % 11), 8).CaseNumber(-i);
      }
      if (compression > 0) b.CompressedCases(cases);
      if (compression == 2) b.ZlibCases(512);
      files.emplace_back(dir.Write("b" + std::to_string(big * 3 + compression), b.Bytes()),
                         &kBuilt);
    }
  }
  // Data cut near its end: uncompressed (the builder's cases, read in place
  // in the read window, inside one), byte code.
  for (auto [from, cut] : {std::pair{0, 1}, {0, 9}, {1, 4}, {1, 20}, {3, 40}, {3, 333}}) {
    const std::string bytes = ReadFile(files[from].first);
    const std::string name = "cut" + std::to_string(cut);
    files.emplace_back(dir.Write(name, bytes.substr(0, bytes.size() - cut)), files[from].second);
  }
  // Byte code whose codes lie: raw words past the end of the data, the end
  // of the data inside a case. Each ends the read with an error some cases
  // before the end.
  for (auto [from, code] : {std::pair{3, '\xFD'}, {4, '\xFD'}, {4, '\xFC'}}) {
    std::string bytes = ReadFile(files[from].first);
    bytes.replace(bytes.size() - 200, 200, 200, code);
    files.emplace_back(dir.Write("lie" + std::to_string(files.size()), bytes), files[from].second);
  }
  for (const auto& [path, vars] : files) {
    int h = -1, got = -1;
    ASSERT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
    const std::vector<double> chosen = {3, 2, 1, 1};  // the first twice
    for (int options : {0, VEXA_CASES_NAN_FOR_SYSMIS}) {
      EXPECT_EQ(vexaSeekNextCase(h, 0), VEXA_OK);
      const auto whole = ReadRest(h, *vars, chosen, -64, options);
      for (int batch : {1, 7, 1200}) {
        EXPECT_EQ(vexaSeekNextCase(h, 0), VEXA_OK);
        EXPECT_EQ(ReadRest(h, *vars, chosen, batch, options), whole) << path << " " << batch;
        // Grouped: "long" has a hundred texts, ten cases each, "t" two, "s"
        // eleven (more than are compared as numbers); a room of 1 falls back
        // at once, 5 within a call of 7 or later, 90 "long" only at case
        // 900 (past the library's first batch of cases), 1000 never.
        for (int room : {1, 5, 90, 1000}) {
          int fell = 0;
          EXPECT_EQ(vexaSeekNextCase(h, 0), VEXA_OK);
          EXPECT_EQ(ReadRest(h, *vars, chosen, batch, options, room, &fell), whole)
              << path << " " << batch << " " << room;
          const bool written = vars == &kWritten;
          const int expected = room == 1 ? 1 + written : room == 5 ? 1 : room == 90 ? written : 0;
          EXPECT_EQ(fell, expected) << path << " " << batch << " " << room;
        }
      }
      // No variables: the cases are passed over, the read goes on after them.
      EXPECT_EQ(Each({vexaSeekNextCase(h, 0), vexaColumnsIn(h, 0, nullptr, nullptr, 200, 0, &got)}),
                VEXA_OK);
      const std::string rest = whole[0].substr(200 * (*vars)[2].bytes);
      EXPECT_EQ(ReadRest(h, *vars, chosen, 100, options)[0], rest) << path;
    }
    // Calls refused, as the neighbouring calls refuse them.
    double none = 0;
    void *no_array = nullptr, *array = &none;
    EXPECT_EQ(vexaColumnsIn(99, 1, chosen.data(), &array, 1, 0, &got), VEXA_E_BAD_HANDLE);
    EXPECT_EQ(vexaColumnsIn(h, 1, &none, &array, 1, 0, &got), VEXA_E_BAD_VAR_HANDLE);
    EXPECT_EQ(vexaColumnsIn(h, 1, chosen.data(), &no_array, 1, 0, &got), VEXA_E_FILE_READ);
    EXPECT_EQ(vexaColumnsIn(h, 1, chosen.data(), &array, 1, 2, &got), VEXA_E_FILE_READ);
    // Groups refused: of a number, a count outside its room, no plain array.
    char room[64], plain[64];
    const double text = 2, number = 1;
    for (auto [var, group] : {std::pair{number, VexaTextGroup{room, 1, 0, plain}},
                              {text, VexaTextGroup{room, 1, 2, plain}},
                              {text, VexaTextGroup{room, 1, -1, plain}},
                              {text, VexaTextGroup{room, 1, 0, nullptr}}}) {
      EXPECT_EQ(vexaGroupedColumnsIn(h, 1, &var, &array, &group, 1, 0, &got), VEXA_E_FILE_READ);
    }
    EXPECT_EQ(got, 0);
    vexaCloseRead(h);
  }
}

}  // namespace
}  // namespace vexa::testing
