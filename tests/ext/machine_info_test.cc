#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ext/extension_record.h"
#include "support/open_bytes.h"
#include "support/sysfile_builder.h"

namespace vexa {
namespace {

using testing::OpenBytes;
using testing::OpenError;
using testing::SysFileBuilder;

SysFileBuilder Base(bool big) {
  SysFileBuilder b(big);
  b.Header().NumericVar("x");
  return b;
}

double Bits(uint64_t bits) {
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

class MachineRecordTest : public ::testing::TestWithParam<bool> {};

TEST_P(MachineRecordTest, IntegerUnitsAreStoredInHostOrder) {
  auto source = OpenBytes(
      Base(GetParam()).MachineInts({21, 3, 7, 99, 2, 0, 1, 65001}).End().Bytes());
  const MachineInfo& m = source->Header().machine;
  EXPECT_EQ(m.major, 21);
  EXPECT_EQ(m.minor, 3);
  EXPECT_EQ(m.revision, 7);
  EXPECT_EQ(m.machine_code, 99);
  EXPECT_EQ(m.float_code, 2);
  EXPECT_EQ(m.compression_code, 0);
  EXPECT_EQ(m.character_code, 65001);
  // The byte order comes from the header, not from unit 6.
  EXPECT_EQ(m.endianness, 2);
  EXPECT_TRUE(source->Header().subtypes_seen.test(3));
  EXPECT_EQ(source->GetDictionary().Extensions().Get(3), nullptr);
}

TEST_P(MachineRecordTest, FloatingPointUnitsReplaceTheSpecialValues) {
  auto source = OpenBytes(
      Base(GetParam()).MachineFloats({-1e300, 2.5e300, -0.5e300}).End().Bytes());
  const FileHeader& h = source->Header();
  EXPECT_EQ(h.sysmis, -1e300);
  EXPECT_EQ(h.highest, 2.5e300);
  EXPECT_EQ(h.lowest, -0.5e300);
}

TEST_P(MachineRecordTest, WithoutTheRecordsTheDefaultsStay) {
  auto source = OpenBytes(Base(GetParam()).End().Bytes());
  const FileHeader& h = source->Header();
  EXPECT_EQ(h.sysmis, Bits(0xFFEFFFFFFFFFFFFFull));
  EXPECT_EQ(h.lowest, Bits(0xFFEFFFFFFFFFFFFEull));
  EXPECT_EQ(h.highest, Bits(0x7FEFFFFFFFFFFFFFull));
}

INSTANTIATE_TEST_SUITE_P(BothOrders, MachineRecordTest, ::testing::Bool());

// Records of a fixed shape refuse any other unit size or count. x is the one
// variable: display properties need 3 units of 4 bytes.
TEST(ExtensionShapeTest, AWrongShapeIsAStructureError) {
  const int32_t shapes[][3] = {{3, 4, 9},  {3, 4, 7},  {3, 8, 8},  {3, 1, 32},
                               {4, 4, 6},  {4, 8, 2},  {4, 8, 4},  {11, 8, 3},
                               {11, 4, 2}, {11, 4, 6}, {16, 4, 4}, {16, 8, 3}};
  for (const auto& [subtype, size, count] : shapes) {
    const std::string contents(static_cast<size_t>(size * count), '\0');
    EXPECT_EQ(OpenError(Base(false).Extension(subtype, size, count, contents)
                            .End()
                            .Bytes()),
              kErrBadStructure)
        << subtype << ": " << size << " x " << count;
  }
}

TEST(ExtensionRecordTest, ShapeIsFixedOnceContentsExistAndEmptyRecordsAreRefused) {
  SystemFileExtensionRecord rec;
  rec.SetUnitSize(4);
  EXPECT_TRUE(rec.Empty());
  EXPECT_THROW(rec.Allocate(), ContractViolation);
  rec.SetNUnits(2);
  rec.CopyIn("abcdefgh");
  EXPECT_EQ(std::string(rec.Contents(), rec.ByteSize()), "abcdefgh");
  EXPECT_THROW(rec.SetNUnits(3), ContractViolation);
}

}  // namespace
}  // namespace vexa
