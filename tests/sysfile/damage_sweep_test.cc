// The sample file, cut at every byte and with bytes of its dictionary
// changed at random: every open either succeeds or raises a file error.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "support/open_bytes.h"
#include "support/sample_file.h"

namespace vexa {
namespace {

// Opens the bytes; false when a file error was raised. Any other exception
// fails the test.
bool OpensOrRaisesAFileError(const std::string& bytes) {
  try {
    testing::OpenBytes(bytes);
    return true;
  } catch (const SystemFileException&) {
    return false;
  }
}

class DamageSweepTest : public ::testing::TestWithParam<bool> {};

TEST_P(DamageSweepTest, EveryTruncationOpensOrFails) {
  const std::string file = testing::BuildSampleFile(GetParam());
  const int64_t data_start = testing::OpenBytes(file)->DataStart();
  for (size_t cut = 0; cut < file.size(); ++cut) {
    SCOPED_TRACE(::testing::Message() << "cut at " << cut);
    bool opened = OpensOrRaisesAFileError(file.substr(0, cut));
    // Everything before the case data is needed to open.
    EXPECT_EQ(opened, static_cast<int64_t>(cut) >= data_start);
  }
}

TEST_P(DamageSweepTest, RandomByteChangesInTheDictionaryOpenOrFail) {
  constexpr unsigned kSeed = 0x5EED1234;
  constexpr int kRounds = 3000;
  std::printf("damage sweep seed %u\n", kSeed);
  const std::string file = testing::BuildSampleFile(GetParam());
  const size_t dictionary_end =
      static_cast<size_t>(testing::OpenBytes(file)->DataStart());
  std::mt19937 rng(kSeed);
  int opened = 0;
  for (int round = 0; round < kRounds; ++round) {
    std::string damaged = file;
    int changes = 1 + static_cast<int>(rng() % 3);
    for (int i = 0; i < changes; ++i) {
      size_t at = rng() % dictionary_end;
      // Mostly small integers and sign bytes, which make lengths and counts
      // that look plausible, and sometimes any byte.
      static constexpr uint8_t kInteresting[] = {0x00, 0x01, 0x02, 0x03, 0x07,
                                                 0x7F, 0x80, 0xFF, 0xFE, 0x20};
      uint8_t value = rng() % 2 ? kInteresting[rng() % sizeof kInteresting]
                                : static_cast<uint8_t>(rng());
      damaged[at] = static_cast<char>(value);
    }
    SCOPED_TRACE(::testing::Message() << "seed " << kSeed << " round " << round);
    if (OpensOrRaisesAFileError(damaged)) ++opened;
  }
  // Both outcomes must occur, or the sweep is not exercising the reader.
  EXPECT_GT(opened, 0);
  EXPECT_LT(opened, kRounds);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, DamageSweepTest, ::testing::Bool());

}  // namespace
}  // namespace vexa
