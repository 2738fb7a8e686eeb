// The byte-code codec on one reference table: each row's slots encode to the
// row's bytes through the case writer (and its encoder), and the bytes
// decode back to the slots through the file reader's read window at
// several sizes and places, a case at a time and in batches. Every cut
// inside a row's bytes is a truncation. A raw case write that fails is among the failing system
// calls of the fault tests.
#include "sysfile/bytecode.h"

#include <gtest/gtest.h>

#include <bit>
#include <initializer_list>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "io/file_stream.h"
#include "support/errors.h"
#include "support/open_bytes.h"  // ErrorNumberOf
#include "support/memory_stream.h"
#include "support/sysfile_builder.h"  // DoubleBytes
#include "support/temp_dir.h"
#include "sysfile/case_window.h"
#include "sysfile/case_writer.h"
#include "sysfile/compressed_reader.h"

namespace vexa {
namespace {

using namespace std::string_literals;
using testing::DoubleBytes;

std::string N(std::initializer_list<double> values) {
  std::string out;
  for (double v : values) out += DoubleBytes(v);
  return out;
}
const std::string kSysmis = DoubleBytes(std::bit_cast<double>(kSysmisBits));

struct Row {
  const char* name;
  std::string slots;  // the values of the cases, one case after the other
  int case_slots;
  std::string bytes;
  // Where the cases start: the block's offset plus the control byte's index.
  std::vector<int64_t> starts = {0};
  bool encodes = true;  // false: only a reader meets these bytes
  bool cases_end_in_the_last_block = true;
};

std::vector<Row> Rows() {
  std::string every, every_codes;
  for (int n = -99; n <= 151; ++n) {
    every += DoubleBytes(n);
    every_codes.push_back(static_cast<char>(n + 100));
  }
  // Near misses of the integer codes, and a text: a block of 8 literals.
  const std::string near = N({0.5, 255.0, 1e300, -1e9}) +
                           DoubleBytes(std::numeric_limits<double>::quiet_NaN()) +
                           DoubleBytes(std::bit_cast<double>(std::bit_cast<uint64_t>(1.0) | 1)) +
                           "abcdefgh" + N({-std::numeric_limits<double>::infinity()});
  return {
      {"partial_block", N({1.0, 2.5}) + kSysmis + "        " + N({0.0, -0.0}), 6,
       "\x65\xFD\xFF\xFE\x64\xFD\0\0"s + N({2.5, -0.0})},
      {"range_edges", N({151, 152, -99, -100, 151, 152, -99, -100}), 4,
       "\xFB\xFD\x01\xFD\xFB\xFD\x01\xFD"s + N({152, -100, 152, -100}), {0, 4}},
      {"case_across_blocks", N({0.5, 1, 2, 3, 4, 5, 6, 7, 8.5, 9}), 10,
       "\xFD\x65\x66\x67\x68\x69\x6A\x6B"s + N({0.5}) +
           "\xFD\x6D\0\0\0\0\0\0"s + N({8.5})},
      {"every_integer_code", every, 251, every_codes + std::string(5, '\0')},
      {"eight_literals", near, 8, std::string(8, '\xFD') + near},
      // The second case starts inside a block of eight values.
      {"case_starting_inside_a_block", N({1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19}),
       9, "\x65\x66\x67\x68\x69\x6A\x6B\x6C\x6D\x6F\x70\x71\x72\x73\x74\x75\x76\x77\0\0\0\0\0\0"s,
       {0, 9}, true, false},
      // Fillers inside a case between blocks of eight values.
      {"fillers_between_whole_blocks", N({1, 2.5, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                          17, 18, 19.5, 20, 21, 22, 23, 24}), 8,
       "\x65\xFD\x67\x68\x69\x6A\x6B\x6C"s + N({2.5}) + "\x6D\x6E\0\x6F\0\0\x70\0\x71\x72\x73"
       "\x74\x75\x76\xFD\x78"s + N({19.5}) + "\x79\x7A\x7B\x7C\0\0\0\0"s, {0, 16, 28}, false, false},
      // 252 ends its block: the 253 after it has no literal.
      {"code_252", N({1, 2, 3}), 3,
       "\x65\xFC\xFD\x65\x65\x65\x65\x65\x66\x67\0\0\0\0\0\0"s, {0}, false},
  };
}

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

// The file reader over byte-code data, alone or between `pad` bytes of
// filler blocks (code 0, no values) before and a full window of them after.
struct Decoder {
  Decoder(const std::string& data, int slots, size_t pad = 0)
      : stream(pad == 0 ? data
                        : std::string(pad, '\0') + data +
                              std::string(CaseDataWindow::kMaxCapacity, '\0')),
        slots(static_cast<size_t>(slots)) {
    header.nominal_case_size = slots;
    reader = std::make_unique<CompressedSystemFile>(stream, 0, header, index);
  }
  std::string Next() {
    std::string out(slots * 8, '?');
    const size_t got = reader->DecodeCase(out.data());
    return got == 0 ? "<end>" : out;
  }
  testing::MemoryStream stream;
  size_t slots;
  FileHeader header;
  SparseRowIndex index;
  std::unique_ptr<CompressedSystemFile> reader;
};

class ByteCodeTableTest : public ::testing::TestWithParam<Row> {};

TEST_P(ByteCodeTableTest, SlotsEncodeToTheBytes) {
  const Row& r = GetParam();
  if (!r.encodes) return;  // the writer never writes code 252
  // The case writer numbers its cases on from those already in the file;
  // what reached the stream before the finish is whole blocks.
  testing::MemoryStream stream;
  SparseRowIndex index;
  CaseWriter writer(stream, static_cast<size_t>(r.case_slots), true, index, 10, 0);
  for (size_t at = 0; at < r.slots.size(); at += static_cast<size_t>(r.case_slots) * 8) {
    writer.Write(r.slots.data() + at);
  }
  EXPECT_TRUE(r.bytes.starts_with(stream.data()));
  writer.Finish();
  EXPECT_EQ(stream.data(), r.bytes);
  writer.Finish();
  EXPECT_EQ(stream.data(), r.bytes);
  EXPECT_EQ(index.Lookup(10), (SparseRowIndex::Entry{10, 0}));
}

// The data alone in a window of its size; in full windows whose first
// refill comes as the row starts, or inside the longer rows.
TEST_P(ByteCodeTableTest, BytesDecodeToTheSlotsInEveryWindow) {
  const Row& r = GetParam();
  const size_t case_bytes = static_cast<size_t>(r.case_slots) * 8;
  constexpr size_t kFull = CaseDataWindow::kMaxCapacity;
  for (size_t pad : {size_t{0}, kFull - 64, kFull - 136}) {
    SCOPED_TRACE(::testing::Message() << "pad " << pad);
    Decoder d(r.bytes, r.case_slots, pad);
    std::vector<int64_t> starts;
    for (size_t at = 0; at < r.slots.size(); at += case_bytes) {
      starts.push_back(d.reader->Tell());
      EXPECT_EQ(d.Next(), r.slots.substr(at, case_bytes));
    }
    EXPECT_EQ(d.Next(), "<end>");
    EXPECT_TRUE(d.reader->AtEnd());
    EXPECT_EQ(pad == 0 ? starts : r.starts, r.starts);
    // Back to every case from its position; over the first one.
    for (size_t k = starts.size(); k-- > 0;) {
      d.reader->SeekPosition(starts[k]);
      EXPECT_EQ(d.Next(), r.slots.substr(k * case_bytes, case_bytes)) << k;
    }
    d.reader->SeekPosition(starts[0]);
    EXPECT_TRUE(d.reader->SkipCase());
    EXPECT_EQ(d.Next(), starts.size() > 1 ? r.slots.substr(case_bytes, case_bytes) : "<end>");
    // A batch of one case leaves the decoder before the next; the rest follow.
    Decoder batch(r.bytes, r.case_slots, pad);
    std::string out(r.slots.size() + case_bytes, '?');
    size_t done = 0;
    EXPECT_EQ(batch.reader->ReadCases(out.data(), 1, done), 1u);
    if (starts.size() > 1) {
      EXPECT_EQ(batch.reader->Tell(), starts[1]);
    }
    EXPECT_EQ(batch.reader->ReadCases(&out[case_bytes], starts.size(), done), starts.size() - 1);
    EXPECT_EQ(out.substr(0, r.slots.size()), r.slots);
  }
}

// Where every case of a row ends in its last block, a cut anywhere inside
// leaves every case unfinished, and none may be delivered.
TEST_P(ByteCodeTableTest, EveryCutIsATruncation) {
  const Row& r = GetParam();
  if (!r.cases_end_in_the_last_block) return;
  for (size_t cut = 0; cut < r.bytes.size(); ++cut) {
    SCOPED_TRACE(::testing::Message() << "cut at " << cut);
    Decoder d(r.bytes.substr(0, cut), r.case_slots);
    EXPECT_EQ(testing::ErrorNumberOf([&] { EXPECT_EQ(d.Next(), "<end>"); }),
              cut == 0 ? 0 : long{kErrTruncated});
  }
}

// Cases of every width give the bytes of the slot-by-slot encoding (cases of
// one slot, in the encoder's own runs), also when whole blocks are built in
// the room a file stream lends, across the edges of its small buffers written
// behind, with the same case starts recorded.
TEST(ByteCodeWriterTest, EveryPathGivesTheSlotBySlotBytes) {
  std::mt19937 rng(20261207);
  std::string slots;  // whole cases of every width below
  const std::string kinds[] = {kSysmis, "        ", "text0000", DoubleBytes(0.25)};
  for (int i = 0; i < 52000; ++i) {
    slots += rng() % 2 ? DoubleBytes(static_cast<double>(rng() % 300) - 120) : kinds[rng() % 4];
  }
  const auto encode = [&](size_t width, bool lent) {
    testing::TempDir dir;
    testing::MemoryStream memory;
    VEXA_FileStream file(1024);
    EXPECT_TRUE(file.Open(dir.File("cases.vexa"), "w+"));
    file.EnableWriteBehind();
    SparseRowIndex index;
    CaseWriter writer(lent ? static_cast<VEXA_StrBaseIO&>(file) : memory, width, true, index, 0, 0);
    for (size_t at = 0; at < slots.size(); at += width * 8) writer.Write(slots.data() + at);
    writer.Finish();
    file.Close();
    return std::pair(lent ? testing::ReadFile(dir.File("cases.vexa")) : memory.data(),
                     index.Entries());
  };
  const std::string reference = encode(1, false).first;
  for (size_t width : {1, 5, 8, 13, 250}) {
    const auto runs = encode(width, false);
    EXPECT_EQ(runs.first, reference) << width;
    EXPECT_TRUE(encode(width, true) == runs) << width;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ByteCodeTableTest, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexa
