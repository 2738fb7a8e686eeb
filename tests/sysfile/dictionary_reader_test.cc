// Reading the dictionary part: the file kind, the header, every record in
// both byte orders, the creation time and the weight's slot.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dict/format_code.h"
#include "support/memory_stream.h"
#include "support/open_bytes.h"
#include "support/sysfile_builder.h"
#include "sysfile/file_kind.h"
#include "sysfile/header_reader.h"

namespace vexa {
namespace {

using testing::HeaderFields;
using testing::OpenBytes;
using testing::SysFileBuilder;

// The kind from the stream (which then stands after the magic) and from
// bytes in memory, or the error of the stream call.
TEST(FileKindTest, DetectsOrFails) {
  const struct {
    std::string bytes;
    int kind;  // -1: an error is expected
    long error;
    int64_t position;
  } cases[] = {{"$FL2 and more", 0, 0, 4},
               {"$FL3 and more", 1, 0, 4},
               {"\x01\x02\x03\x04xxxxENCRYPTEDSAV rest", 2, 0, 20},
               {"$FL", -1, kErrTruncated, 0},
               {"$FL4xx", -1, kErrTruncated, 0},
               {"$FL4xxxxENCRYPTED", -1, kErrTruncated, 0},
               {"$fl2xxxxENCRYPTEDSAW", -1, kErrBadStructure, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    testing::MemoryStream stream(c.bytes);
    EXPECT_EQ(static_cast<int>(DetectFileKind(c.bytes.data(), c.bytes.size())),
              c.kind < 0 ? static_cast<int>(kUnknownKind) : c.kind);
    EXPECT_EQ(testing::ErrorNumberOf([&] {
                EXPECT_EQ(static_cast<int>(DetectFileKind(stream)), c.kind);
                EXPECT_EQ(stream.Tell(), c.position);
              }),
              c.error);
  }
}

struct HeaderRead { FileHeader header; Dictionary dictionary; };

HeaderRead ReadHeaderOf(const HeaderFields& fields) {
  testing::MemoryStream stream(SysFileBuilder().Header(fields).Bytes());
  stream.Seek(4, 0);
  HeaderRead r;
  ReadHeader(stream, r.header, r.dictionary);
  return r;
}

// (A case count of -1 stays unrecorded: the case reading tests, through
// the open.)
TEST(HeaderTest, LayoutCodeAndBlankLabel) {
  for (auto [layout, swapped] : {std::pair{1, false}, {3, false}, {255, false},
                                 {0, true}, {256, true}, {-1, true}}) {
    EXPECT_EQ(ReadHeaderOf({.layout_code = layout}).header.byte_swapped, swapped) << layout;
  }
  EXPECT_EQ(ReadHeaderOf({}).dictionary.IdString(), "");
}

class ByteOrderTest : public ::testing::TestWithParam<bool> {};

// Every number of the header and the records comes out in host order; label
// texts of every padding class keep the records after them aligned. (The
// sample file and the combination test read the rest in both orders.)
TEST_P(ByteOrderTest, EveryRecordIsReadInTheFilesOrder) {
  const std::string seven = "1234567";
  const std::string eight = "12345678";
  SysFileBuilder b(GetParam());
  b.Header({.nominal_case_size = 99, .compression = 1,
            .weight_index = 3, .case_count = 123456})
      .NumericVar("a", {.label = "12345"})
      .StringVar("s", 20, {.label = eight})
      .NumericVar("b", {.label = ""})
      .NumericVar("n", {.missing_code = -3, .missing = {1.5, 2.5, -7.0},
                        .print_format = 0x052D02, .write_format = 0x140B00})
      .StringVar("t", 8, {.missing_code = 2, .missing_text = {"abc", "12345678"}})
      .NumericLabels({{2, seven}, {1, ""}, {3, eight}}, {1, 5})
      .Document({"one", "two", "three"})
      .Extension(99, 2, 2, "abcd").Extension(8, 1, 1, "1").Extension(8, 1, 2, "22")
      .Extension(16, 8, 2, std::string(16, '\0'));
  auto source = OpenBytes(b.End().CaseNumber(1).Bytes());

  // The case count is not lowered by the count record; the case size is
  // not the 99 the header claims.
  const FileHeader& h = source->Header();
  EXPECT_EQ((std::vector<int64_t>{h.byte_swapped, h.compression, h.weight_index, h.case_count,
                                  h.nominal_case_size}),
            (std::vector<int64_t>{GetParam(), 1, 3, 123456, 7}));
  const Dictionary& d = source->GetDictionary();
  ASSERT_EQ(d.Count(), 5);
  EXPECT_EQ((std::vector{d.At(0).Label(), d.At(1).Label(), d.At(2).Label()}),
            (std::vector<std::string>{"12345", eight, ""}));
  const ValueLabelMap& a = d.At(0).ValueLabels();
  EXPECT_EQ((std::vector{*a.FindNumber(1), *a.FindNumber(2), *a.FindNumber(3)}),
            (std::vector<std::string>{"", seven, eight}));
  EXPECT_EQ(a.Identity(), d.At(2).ValueLabels().Identity());

  const VEXA_Variable& n = d.At(3);
  EXPECT_EQ(UnpackFormat(n.PrintFormat()), (Format{40, 5, 2}));
  EXPECT_EQ((std::vector{n.MissingNumber(0), n.MissingNumber(1), n.MissingNumber(2)}),
            (std::vector{1.5, 2.5, -7.0}));
  const auto& raw = d.At(4).MissingRaw();
  EXPECT_EQ(std::string(raw[0].data(), 8) + std::string(raw[1].data(), 8), "abc     12345678");

  // Documents are extension data; unhandled subtypes are kept raw, the last
  // of a subtype wins.
  const ExtensionStore& ext = d.Extensions();
  ASSERT_NE(ext.Get(kDocumentsType), nullptr);
  EXPECT_EQ(ext.Get(kDocumentsType)->contents.substr(80, 5), "two  ");
  ASSERT_TRUE(ext.Get(99) && ext.Get(8));
  EXPECT_EQ(ext.Get(99)->contents + ext.Get(8)->contents, "abcd22");
}

INSTANTIATE_TEST_SUITE_P(BothOrders, ByteOrderTest, ::testing::Bool());

// Header slots 1, 2-4 (a string of width 20) and 5. In the same files, a
// document of no lines clears the documents before it.
TEST(DictionaryReaderTest, TheWeightResolvesThroughTheSlotMapAnEmptyDocumentClears) {
  for (auto [slot, index] : {std::pair{5, 2}, {1, 0}, {2, 1}, {3, -1}, {9, -1}, {0, -1},
                             {-4, -1}}) {
    auto source = OpenBytes(testing::ThreeVariables(false, {.weight_index = slot})
                                .Document({"one"}).Document({}).End().Bytes());
    EXPECT_EQ(source->GetDictionary().WeightIndex(), index) << slot;
    EXPECT_EQ(source->GetDictionary().Extensions().Get(kDocumentsType), nullptr) << slot;
  }
}

TEST(CreationTimeTest, ParsesValidDatesAndTimesOnly) {
  constexpr double kDay = 86400.0;
  // 1 January 1970 is day 141428 after 14 October 1582.
  const struct {
    const char* date;
    const char* time;
    double expected;
  } cases[] = {{"05 Jan 70", "13:45:10", 141432 * kDay + 49510},
               {"01 Jan 70", "00:00:00", 141428 * kDay},
               {"31 Dec 99", "23:59:59", (141428 + 10957) * kDay - 1},
               {"05 JAN 69", "00:00:00", (141428 + 36160 + 4) * kDay},
               {"01 Jan 00", "00:00:00", (141428 + 10957) * kDay},
               {"31 Feb 01", "00:00:00", (141428 + 11323 + 31 + 30) * kDay},
               {"05 Foo 70", "13:45:10", 0.0}, {"00 Jan 70", "13:45:10", 0.0},
               {"32 Jan 70", "13:45:10", 0.0}, {"05 Jan 70", "24:00:00", 0.0},
               {"05 Jan 70", "12:60:00", 0.0}, {"05 Jan 70", "12:00:60", 0.0},
               {"         ", "        ", 0.0}};
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(ParseCreationTime(c.date, c.time), c.expected) << c.date << " " << c.time;
  }
}

}  // namespace
}  // namespace vexa
