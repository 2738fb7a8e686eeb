// The file's encoding: recorded at the header commit (the machine record's
// character code and the encoding record), and found again when a file is
// read, from whichever of the two it has.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "sysfile/test_files.h"
#include "text/code_pages.h"
#include "text/text_test_util.h"

namespace vexa {
namespace {

using testing::SysFileBuilder;
using text::testing::ScopedCodePage;
using text::testing::ScopedInterfaceMode;

TEST(EncodingRecordTest, TheCommitRecordsTheInterfaceEncoding) {
  struct Row {
    const char* code_page;  // null: UTF-8 mode
    const char* name;  // of the encoding, or one that ICU takes as the same
    int character_code;
  };
  const Row rows[] = {{nullptr, "UTF-8", 65001},
                      {"windows-1252", "windows-1252", 1252},
                      {"Shift_JIS", "windows-31j", 932},
                      {"ISO-8859-1", "ISO_8859-1:1987", 28591},
                      {"EUC-JP", "EUC-JP", 2}};  // no code page number
  for (const Row& r : rows) {
    std::optional<ScopedCodePage> code_page;
    std::optional<ScopedInterfaceMode> utf8;
    if (r.code_page) {
      code_page.emplace(r.code_page);
    } else {
      utf8.emplace(text::InterfaceMode::kUtf8);
    }
    testing::WriterFile f;
    f.AddVar("a", 0);
    const std::string written = f.Writer().FileEncoding();
    EXPECT_TRUE(text::CompatibleEncodings(written, r.name)) << written;
    f.Writer().CommitHeader();
    f.Finish();
    code_page.reset();
    ScopedCodePage other("GBK");  // the file, not the current code page, decides
    auto read = f.Read();
    EXPECT_EQ(read->Header().encoding_name, written);
    EXPECT_EQ(read->Header().machine.character_code, r.character_code) << r.name;
    EXPECT_EQ(read->FileEncoding(), written);
    EXPECT_TRUE(read->Header().subtypes_seen.test(20));
  }
}

// A file from the builder: an optional encoding record, a character code.
std::string FileWith(bool big_endian, const std::string& record, int32_t character_code,
                     int32_t unit_size = 1) {
  SysFileBuilder b(big_endian);
  b.Header().NumericVar("a").MachineInts({24, 0, 0, 720, 1, 1, big_endian ? 1 : 2, character_code});
  if (!record.empty() || unit_size != 1) {
    b.Extension(20, unit_size, static_cast<int32_t>(record.size()) / unit_size, record);
  }
  return b.End().Bytes();
}

TEST(EncodingRecordTest, TheFileEncodingComesFromTheRecordElseTheCharacterCode) {
  ScopedCodePage current("windows-1251");
  struct Row { std::string record; int32_t code; const char* encoding; };
  const Row rows[] = {
      {"windows-1252", 65001, "windows-1252"},   // the record wins
      {"", 1252, "windows-1252"},
      {"", 65001, "UTF-8"},
      {"", 2, "windows-1251"},                   // no name: the current code page
      {"", -5, "windows-1251"},
      {"", 777777, "windows-1251"},
      {"no-such-encoding", 1253, "windows-1253"},  // ICU does not know the record's name
      {"no-such-encoding", 2, "windows-1251"},
      {std::string("UTF-8\0\xFF", 7), 2, "windows-1251"}};
  for (bool big_endian : {false, true}) {
    for (const Row& r : rows) {
      auto source = testing::OpenBytes(FileWith(big_endian, r.record, r.code));
      EXPECT_EQ(source->FileEncoding(), r.encoding) << r.record << " " << r.code;
      EXPECT_EQ(source->Header().encoding_name, r.record);
    }
    // A record of anything but single bytes is refused.
    EXPECT_EQ(testing::OpenError(FileWith(big_endian, std::string("UTF-8\0\0\0", 8), 2, 4)), kErrBadStructure);
  }
}

}  // namespace
}  // namespace vexa
