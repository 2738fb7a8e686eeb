// The replay driver: runs every file named on the command line (or found in
// a folder named there) through the target once, as an ordinary program, so
// that the seed corpus and every input that ever failed stay regression
// tests in every build. Then it runs each file again damaged a fixed number
// of times, from a seed fixed for the file's name: the damage sweep of
// every target. A damaged input is refused like any other or read; a crash
// or an escaping exception is a failure, found again by replaying that one
// file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fuzz_target.h"

namespace {

constexpr int kDamagedCopies = 500;
constexpr uint32_t kSeed = 0x5EED1234;

// Small integers, blanks, sign bytes and the byte-code codes: values that
// make lengths, counts and codes which look plausible.
constexpr uint8_t kInteresting[] = {0x00, 0x01, 0x02, 0x03, 0x07, 0x20, 0x64,
                                    0x7F, 0x80, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

uint32_t SeedFor(const std::string& name) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
  return kSeed ^ hash;
}

void Run(const std::string& bytes) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// One to four bytes set, half of them to an interesting value, half to any.
std::string Damaged(const std::string& bytes, std::mt19937& rng) {
  std::string damaged = bytes;
  for (int i = 0, n = 1 + static_cast<int>(rng() % 4); i < n; ++i) {
    const size_t at = rng() % damaged.size();
    damaged[at] = static_cast<char>(rng() % 2 ? kInteresting[rng() % sizeof kInteresting]
                                              : rng() % 256);
  }
  return damaged;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (fs::is_directory(argv[i])) {
      for (const auto& entry : fs::directory_iterator(argv[i])) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else {
      inputs.emplace_back(argv[i]);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  size_t damaged = 0;
  for (const fs::path& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      return 1;
    }
    Run(bytes);
    if (bytes.empty()) continue;
    std::mt19937 rng(SeedFor(path.filename().string()));
    for (int k = 0; k < kDamagedCopies; ++k, ++damaged) Run(Damaged(bytes, rng));
  }
  std::printf("%zu inputs replayed, %zu damaged copies (seed %u)\n", inputs.size(), damaged,
              static_cast<unsigned>(kSeed));
  return inputs.empty() ? 1 : 0;
}
