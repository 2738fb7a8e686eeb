// Damaged case data: every truncation and random changes of control bytes
// end in the end of the data or a file error, never anything else.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "sysfile/case_files.h"

namespace vexa {
namespace {

using testing::Storage;

// A file with compressible and literal numerics and a two-slot string.
std::string MixedFile(Storage storage) {
  testing::SysFileBuilder b;
  b.Header({.compression = storage == Storage::kCompressed ? 1 : 0})
      .NumericVar("a").StringVar("s", 12).NumericVar("b").End();
  std::vector<std::vector<testing::CaseSlot>> cases;
  for (int i = 0; i < 7; ++i) {
    cases.push_back({testing::CaseSlot::Number(i % 3 == 0 ? -1e9 : i),
                     testing::CaseSlot::Text(i % 2 ? "" : "text"),
                     testing::CaseSlot::Text("tail"),
                     testing::CaseSlot::Number(i + 0.5)});
  }
  if (storage == Storage::kCompressed) {
    b.CompressedCases(cases);
  } else {
    for (const auto& slots : cases) {
      for (const auto& slot : slots) b.Raw(std::string(slot.bytes.data(), 8));
    }
  }
  return b.Bytes();
}

// Reads the cases, with a seek back now and then; returns the cases read,
// or -1 when a file error was raised. Anything else escapes and fails.
int ReadOrFail(const std::string& bytes, std::mt19937* rng = nullptr) {
  try {
    testing::CaseReader r(bytes);
    int n = 0;
    for (int step = 0; step < 64 && r.iterator->ReadNext(); ++step) {
      ++n;
      if (rng != nullptr && (*rng)() % 4 == 0) r.iterator->Seek((*rng)() % 9);
    }
    EXPECT_FALSE(r.iterator->ReadNext() && rng == nullptr);
    return n;
  } catch (const SystemFileException&) {
    return -1;
  }
}

class CaseDamageTest : public ::testing::TestWithParam<Storage> {};

TEST_P(CaseDamageTest, EveryTruncationEndsTheDataOrFails) {
  const std::string file = MixedFile(GetParam());
  const size_t start = static_cast<size_t>(testing::OpenBytes(file)->DataStart());
  ASSERT_EQ(ReadOrFail(file), 7);
  for (size_t cut = start; cut < file.size(); ++cut) {
    SCOPED_TRACE(::testing::Message() << "cut at " << cut);
    const int n = ReadOrFail(file.substr(0, cut));
    EXPECT_LT(n, 7);
    if (GetParam() == Storage::kUncompressed) {
      // Whole cases read; a partial one fails.
      EXPECT_EQ(n, (cut - start) % 32 == 0 ? static_cast<int>((cut - start) / 32) : -1);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, CaseDamageTest,
                         ::testing::Values(Storage::kUncompressed, Storage::kCompressed),
                         [](const auto& info) {
                           return std::string(info.param == Storage::kCompressed
                                                  ? "compressed"
                                                  : "uncompressed");
                         });

TEST(CaseCorruptionTest, RandomControlBytesEndTheDataOrFail) {
  constexpr unsigned kSeed = 0xC0DEB10C;
  constexpr int kRounds = 2000;
  std::printf("control byte damage seed %u\n", kSeed);
  const std::string file = MixedFile(Storage::kCompressed);
  const size_t start = static_cast<size_t>(testing::OpenBytes(file)->DataStart());
  std::mt19937 rng(kSeed);
  static constexpr uint8_t kCodes[] = {0, 1, 100, 251, 252, 253, 254, 255};
  for (int round = 0; round < kRounds; ++round) {
    std::string damaged = file;
    for (int i = 0, n = 1 + static_cast<int>(rng() % 4); i < n; ++i) {
      // Mostly control bytes (the first 8 of each 8-aligned unit may be a
      // block's), sometimes any byte of the data.
      size_t at = start + rng() % (file.size() - start);
      damaged[at] = static_cast<char>(rng() % 3 ? kCodes[rng() % 8] : rng() % 256);
    }
    SCOPED_TRACE(::testing::Message() << "round " << round);
    ReadOrFail(damaged, &rng);
  }
}

}  // namespace
}  // namespace vexa
