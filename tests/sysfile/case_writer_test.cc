// Case data as the writer produces it: byte-code blocks byte for byte, very
// long strings split into segments, and the failure of a short raw write.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support/memory_stream.h"
#include "sysfile/case_writer.h"
#include "layout/file_header.h"
#include "sysfile/writer_files.h"
#include "text/text_test_util.h"

namespace vexa {
namespace {

using testing::CaseReader;
using testing::ListRecords;
using testing::WriterFile;

std::string Bits(double v) { return std::string(reinterpret_cast<char*>(&v), 8); }

// The case data of a written file.
std::string CaseData(WriterFile& f) {
  return f.Bytes().substr(static_cast<size_t>(f.Writer().DataStart()));
}

// The slots of one case in memory, from numbers.
std::string Slots(std::initializer_list<double> values) {
  std::string out;
  for (double v : values) out += Bits(v);
  return out;
}

TEST(ByteCodeWriterTest, APartialBlockStaysInMemoryUntilFinish) {
  testing::MemoryStream stream;
  SparseRowIndex index;
  CaseWriter writer(stream, 6, true, index, 0, 0);
  std::string c = Slots({1.0, 2.5, SysmisValue(), 0.0, 0.0, -0.0});
  c.replace(24, 8, "        ");
  writer.Write(c.data());
  EXPECT_EQ(stream.data(), "");
  writer.Finish();
  const std::string want = std::string("\x65\xfd\xff\xfe\x64\xfd\x00\x00", 8) +
                           Bits(2.5) + Bits(-0.0);
  EXPECT_EQ(stream.data(), want);
  writer.Finish();  // nothing written since: nothing to do
  EXPECT_EQ(stream.data(), want);
}

TEST(ByteCodeWriterTest, FullBlocksNeedNoFillersAndCasesAreIndexed) {
  testing::MemoryStream stream;
  SparseRowIndex index;
  CaseWriter writer(stream, 4, true, index, 10, 0);
  const std::string c = Slots({151.0, 152.0, -99.0, -100.0});
  writer.Write(c.data());
  writer.Write(c.data());  // the 8th control byte completes the block
  writer.Finish();
  EXPECT_EQ(stream.data(), std::string("\xfb\xfd\x01\xfd\xfb\xfd\x01\xfd", 8) +
                               Bits(152) + Bits(-100) + Bits(152) + Bits(-100));
  EXPECT_EQ(writer.CasesWritten(), 2u);
  // Case numbers count on from the cases already in the file.
  EXPECT_EQ(index.Lookup(10).case_number, 10);
  EXPECT_EQ(index.Lookup(10).position, 0);
}

TEST(ByteCodeWriterTest, AFinishedFileHoldsTheBlocksAndTheCount) {
  WriterFile f(1);
  for (int i = 0; i < 3; ++i) f.AddVar("v" + std::to_string(i), 0);
  auto c = f.EmptyCase();
  f.SetNumber(c, 0, 1.0);
  f.SetNumber(c, 1, 0.5);
  f.Write(c);
  f.Finish();
  const std::string data = CaseData(f);
  EXPECT_EQ(data, std::string("\x65\xfd\xff\x00\x00\x00\x00\x00", 8) + Bits(0.5));
  EXPECT_EQ(testing::I32At(f.Bytes(), 80), 1);
}

struct SegmentCase {
  int width;
  std::vector<int> segment_widths;
};

class VeryLongStringTest : public ::testing::TestWithParam<SegmentCase> {};

TEST_P(VeryLongStringTest, IsWrittenAsNamedSegments) {
  const SegmentCase& p = GetParam();
  WriterFile f;
  f.AddVar("before", 0);
  f.AddVar("LONGSTRINGVAR", p.width);
  f.AddVar("LONGS1", 0);  // taken: the counter moves on
  f.Writer().CommitHeader();
  f.Finish();

  std::vector<std::pair<std::string, int>> segments;
  for (const auto& r : ListRecords(f.Bytes())) {
    if (r.type == 2 && r.subtype_or_width >= 0) {
      segments.emplace_back(r.name, r.subtype_or_width);
    }
  }
  ASSERT_EQ(segments.size(), p.segment_widths.size() + 2);
  EXPECT_EQ(segments[1].first, "LONGSTRI");
  for (size_t s = 0; s < p.segment_widths.size(); ++s) {
    EXPECT_EQ(segments[1 + s].second, p.segment_widths[s]) << s;
  }
  if (p.segment_widths.size() > 2) {
    EXPECT_EQ(segments[2].first, "LONGS0  ");
    EXPECT_EQ(segments[3].first, "LONGS2  ");
  }
  auto source = f.Read();
  ASSERT_EQ(source->GetDictionary().Count(), 3);
  EXPECT_EQ(source->GetDictionary().At(1).Type(), p.width);
  EXPECT_EQ(source->GetDictionary().At(1).Name(), "LONGSTRINGVAR");
  std::string short_name;
  ASSERT_TRUE(f.Writer().FindShortName("LONGSTRINGVAR", &short_name));
  EXPECT_EQ(short_name, "LONGSTRI");
  EXPECT_FALSE(f.Writer().FindShortName("absent", &short_name));
}

INSTANTIATE_TEST_SUITE_P(
    Widths, VeryLongStringTest,
    ::testing::Values(SegmentCase{256, {255, 4}}, SegmentCase{504, {255, 255}},
                      SegmentCase{600, {255, 255, 96}},
                      SegmentCase{32767, [] {
                                    std::vector<int> w(130, 255);
                                    w.push_back(7);
                                    return w;
                                  }()}));

// A string of width 300: segment one takes 255 bytes and a space, the last
// segment the rest; a 3-byte character that would be split moves on whole.
TEST(VeryLongStringTest, KeepsCharactersWholeInUtf8Mode) {
  text::testing::ScopedInterfaceMode utf8(text::InterfaceMode::kUtf8);
  for (bool split : {false, true}) {
    SCOPED_TRACE(split);
    WriterFile f;
    const int v = f.AddVar("text", 300);
    std::string value(300, 'x');
    for (int i = 0; i < 300; ++i) value[static_cast<size_t>(i)] = static_cast<char>('a' + i % 26);
    if (split) value.replace(253, 3, "\xe2\x82\xac");  // starts at byte 254
    auto c = f.EmptyCase();
    f.SetBytes(c, v, value);
    f.Write(c);
    f.Finish();

    const std::string data = CaseData(f);
    ASSERT_EQ(data.size(), 256u + 48u);
    const size_t kept = split ? 253 : 255;
    EXPECT_EQ(data.substr(0, kept), value.substr(0, kept));
    EXPECT_EQ(data.substr(kept, 255 - kept), std::string(255 - kept, '\0'));
    EXPECT_EQ(data[255], ' ');
    EXPECT_EQ(data.substr(256, 300 - kept), value.substr(kept));
    EXPECT_EQ(data.substr(256 + 300 - kept), std::string(48 - 300 + kept, ' '));

    CaseReader r(f.Read());
    ASSERT_TRUE(r.iterator->ReadNext());
    EXPECT_EQ(r.Slots(0, 38).substr(0, 300), value);
  }
}

// A stream that takes only half of every write.
class ShortWriteStream : public testing::MemoryStream {
 public:
  size_t Write(const void* src, size_t size) override {
    return MemoryStream::Write(src, size / 2);
  }
};

TEST(RawCaseWriteTest, AShortWriteFailsAndIsNotCounted) {
  ShortWriteStream stream;
  SparseRowIndex index;
  CaseWriter writer(stream, 2, false, index, 0, 0);
  const std::string c(16, 'x');
  EXPECT_EQ(testing::ErrorNumberOf([&] { writer.Write(c.data()); }), kErrRawCaseWrite);
  EXPECT_EQ(writer.CasesWritten(), 0u);
}

}  // namespace
}  // namespace vexa
