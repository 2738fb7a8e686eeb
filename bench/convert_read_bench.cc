// Reading a windows-1252 file of the survey shape (200 numerics, 20 strings
// of 8 bytes, many with accented letters and the euro sign), uncompressed
// and byte-code compressed: in code-page mode with windows-1252 current
// (the file needs no conversion) and in UTF-8 mode, where every string of
// every case is converted. Both run in the same process on the same file;
// VEXA_BENCH_MB sets the size of the case data (1 GiB by default).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_shapes.h"
#include "support/sysfile_builder.h"
#include "support/temp_dir.h"
#include "sysfile/bytecode.h"
#include "vexaio.h"

namespace {

using vexa::testing::SysFileBuilder;
using namespace vexa::bench;

constexpr int kStrings = kSurveyStrings;
constexpr int kNumerics = kSurveyNumerics;
constexpr int kSlots = kNumerics + kStrings;

// Values of the strings, cycled through: ASCII and windows-1252 text.
const char* const kTexts[] = {"A", "Z\xFCrich", "caf\xE9", "B", "\xC9t\xE9 \x80", "na\xEFve",
                              "yes", "Stra\xDF" "e"};

class FileSink : public vexa::ByteCodeSink {
 public:
  explicit FileSink(std::FILE* f) : f_(f) {}
  void WriteBlocks(const char* block, size_t size) override { std::fwrite(block, 1, size, f_); }

 private:
  std::FILE* f_;
};

struct BenchFile {
  std::string path;
  int64_t cases = 0;
};

const BenchFile& File(int compression) {
  static vexa::testing::TempDir dir;
  static BenchFile files[2];
  BenchFile& f = files[compression];
  if (!f.path.empty()) return f;
  f.path = dir.File("cp1252_" + std::to_string(compression) + ".vexa");
  f.cases = (TargetBytes() + kSlots * 8 - 1) / (kSlots * 8);
  SysFileBuilder b;
  b.Header({.compression = compression, .label = "conversion benchmark"});
  for (int i = 0; i < kNumerics; ++i) b.NumericVar(VariableName(kSurvey, i));
  for (int i = 0; i < kStrings; ++i) b.StringVar("s\xE9" + std::to_string(i), 8);
  const std::string encoding = "windows-1252";
  b.MachineInts({24, 0, 0, 720, 1, 1, 2, 1252}).MachineFloats();
  b.Extension(20, 1, static_cast<int32_t>(encoding.size()), encoding);
  const std::string dict = b.End().Bytes();
  std::FILE* out = std::fopen(f.path.c_str(), "wb");
  std::fwrite(dict.data(), 1, dict.size(), out);
  std::vector<char> one(kSlots * 8);
  FileSink sink(out);
  vexa::ByteCodeEncoder encoder(sink);
  for (int64_t n = 0; n < f.cases; ++n) {
    MakeCase(kSurvey, n, one.data());
    for (int j = 0; j < kStrings; ++j) {
      char* slot = one.data() + (kNumerics + j) * 8;
      const char* text = kTexts[(n + j) % std::size(kTexts)];
      std::memset(slot, ' ', 8);
      std::memcpy(slot, text, std::strlen(text));
    }
    if (compression == 1) {
      encoder.AppendSlots(one.data(), kSlots);
    } else {
      std::fwrite(one.data(), 1, one.size(), out);
    }
  }
  encoder.Flush();
  std::fclose(out);
  return f;
}

// Every case through vexaWholeCaseIn in the given interface mode, with
// windows-1252 the current code page.
void ReadAll(benchmark::State& state, int mode) {
  const BenchFile& f = File(static_cast<int>(state.range(0)));
  vexaSetCodePage("windows-1252");
  vexaSetInterfaceEncoding(mode);
  int64_t cases = 0;
  int64_t bytes = 0;
  bool converted = false;
  for (auto _ : state) {
    int h = -1;
    if (vexaOpenRead(f.path.c_str(), &h) != VEXA_OK) {
      state.SkipWithError("open failed");
      break;
    }
    int compatible = 1;
    vexaIsCompatibleEncoding(h, &compatible);
    converted = compatible == 0;
    int size = 0;
    vexaGetCaseSize(h, &size);
    std::vector<char> record(static_cast<size_t>(size));
    while (vexaWholeCaseIn(h, record.data()) == VEXA_OK) ++cases;
    bytes += static_cast<int64_t>(f.cases) * kSlots * 8;  // of the file's case data
    vexaCloseRead(h);
  }
  vexaSetInterfaceEncoding(0);
  state.SetItemsProcessed(cases);
  state.SetBytesProcessed(bytes);
  state.SetLabel(std::string(state.range(0) ? "bytecode" : "uncompressed") +
                 (converted ? ", converted to UTF-8" : ", unconverted"));
}

void BM_ReadUnconverted(benchmark::State& state) { ReadAll(state, 0); }
void BM_ReadConvertedToUtf8(benchmark::State& state) { ReadAll(state, 1); }

BENCHMARK(BM_ReadUnconverted)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadConvertedToUtf8)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
