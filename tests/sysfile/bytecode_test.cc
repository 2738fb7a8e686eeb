// The byte-code codec: the encoding rule, the encoder's blocks and the
// decoder over a stream, on the reference vectors and on damaged data.
#include "sysfile/bytecode.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "support/errors.h"
#include "support/memory_stream.h"
#include "support/sysfile_builder.h"  // DoubleBytes
#include "sysfile/compressed_reader.h"

namespace vexa {
namespace {

using testing::DoubleBytes;

uint64_t Bits(double v) { return std::bit_cast<uint64_t>(v); }
uint64_t TextBits(const char (&text)[9]) {
  uint64_t v;
  std::memcpy(&v, text, 8);
  return v;
}

struct EncodeCase {
  const char* name;
  uint64_t bits;
  int code;
};

class EncodeSlotTest : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeSlotTest, GivesTheCode) {
  EXPECT_EQ(EncodeSlot(GetParam().bits), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, EncodeSlotTest,
    ::testing::Values(
        EncodeCase{"fraction", Bits(2.5), 253},
        EncodeCase{"sysmis", kSysmisBits, 255},
        EncodeCase{"spaces", TextBits("        "), 254},
        EncodeCase{"negative_zero", Bits(-0.0), 253},
        EncodeCase{"below", Bits(-100.0), 253}, EncodeCase{"above", Bits(152.0), 253},
        EncodeCase{"half", Bits(0.5), 253},
        EncodeCase{"exponent_range_top", Bits(255.0), 253},
        EncodeCase{"low_word_set", Bits(1.0) | 1, 253},
        EncodeCase{"huge", Bits(1e300), 253},
        EncodeCase{"nan", Bits(std::numeric_limits<double>::quiet_NaN()), 253},
        EncodeCase{"text", TextBits("abcdefgh"), 253}),
    [](const auto& info) { return std::string(info.param.name); });

class CollectingSink : public ByteCodeSink {
 public:
  void WriteBlock(const char* block, size_t size) override {
    sizes.push_back(size);
    bytes.append(block, size);
  }
  std::vector<size_t> sizes;
  std::string bytes;
};

std::string Slots(const std::vector<double>& values) {
  std::string out;
  for (double v : values) out += DoubleBytes(v);
  return out;
}

// 1.0, 2.5, sysmis, eight spaces, 0.0, -0.0.
std::string ReferenceCase() {
  return Slots({1.0, 2.5, std::bit_cast<double>(kSysmisBits)}) + "        " +
         Slots({0.0, -0.0});
}

std::string ReferenceBlock() {
  return std::string("\x65\xFD\xFF\xFE\x64\xFD\0\0", 8) + DoubleBytes(2.5) +
         DoubleBytes(-0.0);
}

TEST(ByteCodeEncoderTest, ReferenceCaseIsOneBlockOf24Bytes) {
  CollectingSink sink;
  ByteCodeEncoder encoder(sink);
  encoder.AppendSlots(ReferenceCase().data(), 6);
  EXPECT_TRUE(sink.sizes.empty());  // nothing before the block is full
  encoder.Flush();
  EXPECT_EQ(sink.bytes, ReferenceBlock());
  encoder.Flush();  // nothing pending: nothing written
  EXPECT_EQ(sink.sizes, std::vector<size_t>{24});
}

TEST(ByteCodeEncoderTest, FullBlocksGoOutAtTheEighthCode) {
  CollectingSink sink;
  ByteCodeEncoder encoder(sink);
  const std::string slots = Slots({0.5, 1, 2, 3, 4, 5, 6, 7, 8.5, 9});
  encoder.AppendSlots(slots.data(), 8);
  EXPECT_EQ(sink.sizes, std::vector<size_t>{16});
  encoder.AppendSlots(slots.data() + 64, 2);
  encoder.Flush();
  EXPECT_EQ(sink.sizes, (std::vector<size_t>{16, 16}));
  EXPECT_EQ(sink.bytes.substr(16, 8), std::string("\xFD\x6D\0\0\0\0\0\0", 8));
}

// A reader over byte-code data at the start of a memory stream.
struct Decoder {
  Decoder(std::string data, int slots) : stream(std::move(data)) {
    header.nominal_case_size = slots;
    reader = std::make_unique<CompressedSystemFile>(stream, 0, header, index);
  }
  std::string Next() {
    std::string out(static_cast<size_t>(header.nominal_case_size) * 8, '?');
    if (reader->DecodeCase(out.data()) == 0) return "<end>";
    return out;
  }
  testing::MemoryStream stream;
  FileHeader header;
  SparseRowIndex index;
  std::unique_ptr<CompressedSystemFile> reader;
};

TEST(ByteCodeDecoderTest, ReferenceBlockDecodesToTheCase) {
  Decoder d(ReferenceBlock(), 6);
  EXPECT_EQ(d.Next(), ReferenceCase());
  EXPECT_EQ(d.Next(), "<end>");
  EXPECT_TRUE(d.reader->AtEnd());
  EXPECT_EQ(d.Next(), "<end>");
}

TEST(ByteCodeDecoderTest, MemoryDecoderAgreesWithTheFileReader) {
  CollectingSink sink;
  ByteCodeEncoder encoder(sink);
  std::string all;
  for (int i = 0; i < 50; ++i) all += Slots({i * 1.0, i + 0.5, -i * 3.0});
  encoder.AppendSlots(all.data(), 150);
  encoder.Flush();
  ByteCodeMemoryDecoder memory(sink.bytes.data(), sink.bytes.size());
  Decoder file(sink.bytes, 3);
  std::string out(24, '\0');
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(memory.DecodeCase(out.data(), 3), 3u);
    EXPECT_EQ(out, all.substr(i * 24, 24));
    EXPECT_EQ(file.Next(), out);
  }
  EXPECT_EQ(memory.DecodeCase(out.data(), 3), 0u);
  EXPECT_EQ(file.Next(), "<end>");
}

TEST(ByteCodeDecoderTest, EveryIntegerFromMinus99To151IsOneCodeEachWay) {
  std::string all;
  for (int c = 1; c <= 251; ++c) {
    EXPECT_EQ(EncodeSlot(Bits(c - 100.0)), c);
    all += DoubleBytes(c - 100.0);
  }
  CollectingSink sink;
  ByteCodeEncoder encoder(sink);
  encoder.AppendSlots(all.data(), 251);
  encoder.Flush();
  EXPECT_EQ(sink.bytes.size(), 256u);  // 32 blocks of codes, no literals
  ByteCodeMemoryDecoder memory(sink.bytes.data(), sink.bytes.size());
  std::string out(all.size(), '\0');
  ASSERT_EQ(memory.DecodeCase(out.data(), 251), 251u);
  EXPECT_EQ(out, all);
}

TEST(ByteCodeDecoderTest, Code252EndsItsBlock) {
  // 1, end of block (the 253 after it has no literal), then 2, 3.
  std::string data = std::string("\x65\xFC\xFD\x65\x65\x65\x65\x65", 8) +
                     std::string("\x66\x67\0\0\0\0\0\0", 8);
  Decoder d(data, 3);
  EXPECT_EQ(d.Next(), Slots({1, 2, 3}));
  EXPECT_EQ(d.Next(), "<end>");
}

TEST(ByteCodeDecoderTest, TellAndSeekReturnToACaseInsideABlock) {
  // Two cases of 3 in one block; the second starts at control byte 3.
  std::string data = std::string("\x65\xFD\x66\xFD\x67\x68\0\0", 8) +
                     DoubleBytes(0.5) + DoubleBytes(1.5);
  Decoder d(data, 3);
  EXPECT_EQ(d.reader->Tell(), 0);
  d.Next();
  EXPECT_EQ(d.reader->Tell(), 3);
  EXPECT_EQ(d.Next(), Slots({1.5, 3, 4}));
  EXPECT_EQ(d.reader->Tell(), 6);
  d.reader->SeekPosition(3);
  EXPECT_EQ(d.Next(), Slots({1.5, 3, 4}));
  d.reader->SeekPosition(0);
  EXPECT_TRUE(d.reader->SkipCase());
  EXPECT_EQ(d.Next(), Slots({1.5, 3, 4}));
}

// Cut in the control bytes of the second block, in the literals of the
// first, and at the block boundary inside the case.
TEST(ByteCodeTruncationTest, ACutCaseIsTruncated) {
  // Case of 10 slots: a block with 2 literals (24 bytes), then a block of
  // 2 values.
  std::string data = std::string("\xFD\x65\x65\xFD\x65\x65\x65\x65", 8) +
                     DoubleBytes(0.5) + DoubleBytes(0.5) +
                     std::string("\x65\x65\0\0\0\0\0\0", 8);
  for (size_t cut : {27, 20, 24}) {
    Decoder d(data.substr(0, cut), 10);
    try {
      d.Next();
      ADD_FAILURE() << cut << ": no error";
    } catch (const SystemFileException& e) {
      EXPECT_EQ(e.number(), kErrTruncated) << cut;
    }
  }
}

}  // namespace
}  // namespace vexa
