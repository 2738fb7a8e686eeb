// The limits a caller may count on, at their edges: every handle open at
// once on files of every form; the widest strings, the longest names and
// many variables in one file of every form; more cases than a 32-bit count
// holds.
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "api/case_table.h"

namespace vexa::testing {
namespace {

// Files of every form, 25 handles on each, all 100 open at once, each in
// the lowest free slot, and read in turns, one case per handle per turn. The
// 101st open finds no slot, nor does a copy open, whose source would take
// the last one (it removes the target only when the call made it); a slot
// given back by any close call is the next one taken.
TEST(LimitsTest, EveryHandleOpenOnFilesOfEveryForm) {
  TempDir dir;
  constexpr int kCases = 3;
  for (int f = 0; f < 4; ++f) {
    ASSERT_EQ(WriteIds(dir.File(kForms[f].name), f * 10, f * 10 + kCases - 1,
                       kForms[f].compression, kForms[f].password),
              VEXA_OK);
  }
  std::vector<int> handles(VEXA_MAX_FILES, -1);
  for (int k = 0; k < VEXA_MAX_FILES; ++k) {
    const Form& form = kForms[k % 4];
    ASSERT_EQ(OpenRead(dir.File(form.name), form.password, &handles[k]), VEXA_OK) << k;
    ASSERT_EQ(handles[k], k);
  }
  int h = 5;
  EXPECT_EQ(vexaOpenRead(dir.File("plain").c_str(), &h), VEXA_E_TOO_MANY_FILES);
  EXPECT_EQ(h, -1);
  const std::string kept = dir.Write("kept.vexa", "keep me"), made = dir.File("new.vexa");
  EXPECT_EQ(vexaCloseAppend(37), VEXA_OK);
  for (const std::string& target : {kept, made}) {
    EXPECT_EQ(vexaOpenWriteCopy(target.c_str(), dir.File("plain").c_str(), &h),
              VEXA_E_TOO_MANY_FILES);
  }
  EXPECT_EQ(ReadFile(kept), "keep me");
  EXPECT_FALSE(std::filesystem::exists(made));
  ASSERT_EQ(OpenRead(dir.File(kForms[1].name), kForms[1].password, &h), VEXA_OK);
  EXPECT_EQ(h, 37);
  for (int n = 0; n <= kCases; ++n) {
    for (int k = 0; k < VEXA_MAX_FILES; ++k) {
      double id = -1;
      ASSERT_EQ(vexaReadCaseRecord(handles[k]), n < kCases ? VEXA_OK : VEXA_W_END_OF_DATA)
          << k << " case " << n;
      EXPECT_TRUE(n == kCases || (vexaGetValueNumeric(handles[k], 1, &id) == 0 &&
                                  id == k % 4 * 10 + n)) << k;
    }
  }
  for (int open : handles) EXPECT_EQ(vexaCloseRead(open), VEXA_OK);
}

// 20,000 variables with names of 64 bytes that differ only in their last
// bytes (so that every short name is made up), three of them strings of
// the greatest width, written and read back in every form.
TEST(LimitsTest, WidestStringsLongestNamesAndManyVariables) {
  constexpr int kVars = 20000, kWide = VEXA_MAX_STRING_WIDTH;
  CaseTable table;
  for (int v = 0; v < kVars; ++v) {
    std::string name(VEXA_NAME_BUFFER - 1, 'x');
    const std::string digits = std::to_string(v);
    name.replace(0, 4, "Long").replace(name.size() - digits.size(), digits.size(), digits);
    table.vars.push_back({name, v == 0 || v == kVars / 2 || v == kVars - 1 ? kWide : 0});
  }
  // Texts that differ from segment to segment and from value to value.
  std::string letters(kWide + 26, ' ');
  for (size_t i = 0; i < letters.size(); ++i) letters[i] = static_cast<char>('a' + i % 26);
  for (int c = 0; c < 2; ++c) {
    Row& row = table.rows.emplace_back();
    for (int v = 0; v < kVars; ++v) {
      row.push_back(table.vars[v].type ? Value(letters.substr((v + c) % 26, kWide))
                                       : Value(v + c * 0.5));
    }
  }
  for (const Form& form : kForms) {
    SCOPED_TRACE(form.name);
    TempDir dir;
    const std::string path = dir.File("wide.vexa");
    int h = -1;
    ASSERT_EQ(Each({OpenWrite(path, form.password, &h), vexaSetCompression(h, form.compression),
                    table.Define(h), vexaCommitHeader(h)}), VEXA_OK);
    for (const Row& row : table.rows) ASSERT_EQ(CaseTable::WriteCase(h, row), VEXA_OK);
    ASSERT_EQ(vexaCloseWrite(h), VEXA_OK);
    table.ExpectReadsBack(path, form.password);
    // Every name finds its variable among the others so like it.
    ASSERT_EQ(OpenRead(path, form.password, &h), VEXA_OK);
    for (int v = 0; v < kVars; ++v) {
      double handle = 0;
      ASSERT_EQ(vexaGetVarHandle(h, table.vars[v].name.c_str(), &handle), VEXA_OK) << v;
      ASSERT_EQ(handle, v + 1);
    }
    EXPECT_EQ(vexaCloseRead(h), VEXA_OK);
  }
}

// More than 2^31 cases of one numeric variable: two are written, the case
// area is then extended to 2^31 cases of zeros without writing them (a
// sparse file of 16 GiB that takes no room on disk), and two more are
// appended. The append counts the cases from the size of the data and
// finishes the file as for any other total, so both counts in the file
// are the library's: the header's 32-bit count gives up (-1), the 64-bit
// count record holds the total. Only the uncompressed form can be made so
// cheaply; byte code spends a byte on every case.
TEST(LimitsTest, MoreCasesThanAThirtyTwoBitCount) {
  TempDir dir;
  const std::string path = dir.File("many.vexa");
  constexpr int64_t kBefore = int64_t{1} << 31;
  ASSERT_EQ(WriteIds(path, 1, 2), VEXA_OK);
  const auto data_start = std::filesystem::file_size(path) - 16;
  std::filesystem::resize_file(path, data_start + kBefore * 8);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  if (st.st_blocks * 512 > (int64_t{1} << 24)) GTEST_SKIP() << "no sparse files here";

  int h = -1;
  ASSERT_EQ(Each({vexaOpenAppend(path.c_str(), &h), AddIds(h, 3, 4), vexaCloseAppend(h)}), VEXA_OK);

  // Through the interface: the count does not fit and reads -1; the cases
  // around the old end and the new cases read back, then the end of data.
  ASSERT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
#define NEXT_ID Each({vexaReadCaseRecord(h), vexaGetValueNumeric(h, 1, &o.d[0])})
  RunSteps(h, {STEP(vexaGetNumberofCases(h, &o.i[0]), VEXA_OK, " i0=-1"),
               STEP(Each({vexaSeekNextCase(h, 1), NEXT_ID}), VEXA_OK, " d0=2"),
               STEP(Each({vexaSeekNextCase(h, static_cast<int>(kBefore - 1)), NEXT_ID}), VEXA_OK,
                    " d0=0"),
               STEP(NEXT_ID, VEXA_OK, " d0=3"), STEP(NEXT_ID, VEXA_OK, " d0=4"),
               STEP(vexaReadCaseRecord(h), VEXA_W_END_OF_DATA, ""),
               STEP(vexaCloseRead(h), VEXA_OK, "")});
}

}  // namespace
}  // namespace vexa::testing
