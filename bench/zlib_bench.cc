// The zlib form against its yardsticks, on the byte code of the survey and
// wide shapes (at least 1 GiB of case data, or VEXA_BENCH_MB MiB), held in
// memory:
//  - BM_Compress2: single-core compress2 at level 1 of each 4,190,208-byte
//    block, the yardstick of writing;
//  - BM_ZlibWrite/w: the zlib stream writing the same byte code to a file
//    with w workers (2 = the cores here);
//  - BM_Uncompress: single-core uncompress of each block of that file, the
//    yardstick of reading;
//  - BM_ZlibRead/w: the zlib stream reading the file back with w workers;
//  - BM_WholeCaseOutZlib and BM_WholeCaseInZlib: the whole path through the
//    C API (byte-code encoding or decoding included), for comparison with
//    the byte-code figures of the read and write benchmarks.
// Rates are bytes of byte code (the blocks' inflated bytes) per second,
// except for the API figures, which count case bytes. Each figure is made
// three times (compare the medians): a first run also pays for memory that
// later runs find ready.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "bench_shapes.h"
#include "io/file_stream.h"
#include "io/zlib_stream.h"
#include "support/temp_dir.h"
#include "sysfile/bytecode.h"
#include "vexaio.h"

namespace {

using namespace vexa::bench;
using vexa::kBlockSize;

vexa::testing::TempDir& Dir() {
  static vexa::testing::TempDir dir;
  return dir;
}

int64_t CaseCount(Shape s) {
  const int64_t bytes = static_cast<int64_t>(Slots(s)) * 8;
  return (TargetBytes() + bytes - 1) / bytes;
}

class StringSink : public vexa::ByteCodeSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  void WriteBlocks(const char* block, size_t size) override { out_.append(block, size); }

 private:
  std::string& out_;
};

// The byte code of the shape's cases, made once.
const std::string& ByteCode(Shape s) {
  static std::string data[2];
  std::string& d = data[s];
  if (!d.empty()) return d;
  std::vector<char> one(static_cast<size_t>(Slots(s)) * 8);
  StringSink sink(d);
  vexa::ByteCodeEncoder encoder(sink);
  for (int64_t n = 0; n < CaseCount(s); ++n) {
    MakeCase(s, n, one.data());
    encoder.AppendSlots(one.data(), static_cast<size_t>(Slots(s)));
  }
  encoder.Flush();
  return d;
}

std::string ZlibPath(Shape s) { return Dir().File("zlib" + std::to_string(s)); }

// Writes the shape's byte code as zlib data from position 0 of a new file.
void WriteZlib(Shape s, int workers) {
  const std::string& data = ByteCode(s);
  vexa::RefPtr<vexa::VEXA_File> file = vexa::RefPtr<vexa::VEXA_File>::Make();
  vexa::Use(file).Open(ZlibPath(s), "w+");
  vexa::zcmpsFilestr z(file, workers);
  z.BeginWriting(0);
  for (size_t at = 0; at < data.size(); at += kBlockSize) {
    z.Write(data.data() + at, std::min(kBlockSize, data.size() - at));
  }
  z.Close();
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Label(benchmark::State& state, Shape s) {
  const double ratio = static_cast<double>(ByteCode(s).size()) /
                       static_cast<double>(CaseCount(s) * Slots(s) * 8);
  state.SetLabel(std::string(ShapeName(s)) + ", byte code " +
                 std::to_string(static_cast<int>(ratio * 100)) + "% of the cases");
}

void BM_Compress2(benchmark::State& state) {
  const auto s = static_cast<Shape>(state.range(0));
  const std::string& data = ByteCode(s);
  std::vector<char> out(compressBound(kBlockSize));
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (size_t at = 0; at < data.size(); at += kBlockSize) {
      uLongf n = out.size();
      compress2(reinterpret_cast<Bytef*>(out.data()), &n,
                reinterpret_cast<const Bytef*>(data.data() + at),
                std::min(kBlockSize, data.size() - at), 1);
      benchmark::DoNotOptimize(out.data());
    }
    state.SetIterationTime(Seconds(start));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
  Label(state, s);
}

void BM_ZlibWrite(benchmark::State& state) {
  const auto s = static_cast<Shape>(state.range(0));
  const int workers = static_cast<int>(state.range(1));
  ByteCode(s);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    WriteZlib(s, workers);
    state.SetIterationTime(Seconds(start));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(ByteCode(s).size()));
  Label(state, s);
}

// The blocks of the zlib file, compressed, in memory.
void BM_Uncompress(benchmark::State& state) {
  const auto s = static_cast<Shape>(state.range(0));
  const std::string& data = ByteCode(s);
  std::vector<std::string> blocks;
  std::vector<char> out(compressBound(kBlockSize));
  for (size_t at = 0; at < data.size(); at += kBlockSize) {
    uLongf n = out.size();
    compress2(reinterpret_cast<Bytef*>(out.data()), &n,
              reinterpret_cast<const Bytef*>(data.data() + at),
              std::min(kBlockSize, data.size() - at), 1);
    blocks.emplace_back(out.data(), n);
  }
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& b : blocks) {
      uLongf n = out.size();
      uncompress(reinterpret_cast<Bytef*>(out.data()), &n,
                 reinterpret_cast<const Bytef*>(b.data()), b.size());
      benchmark::DoNotOptimize(out.data());
    }
    state.SetIterationTime(Seconds(start));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
  Label(state, s);
}

void BM_ZlibRead(benchmark::State& state) {
  const auto s = static_cast<Shape>(state.range(0));
  const int workers = static_cast<int>(state.range(1));
  WriteZlib(s, 2);
  std::vector<char> chunk(1 << 20);
  int64_t total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    vexa::RefPtr<vexa::VEXA_File> file = vexa::RefPtr<vexa::VEXA_File>::Make();
    vexa::Use(file).Open(ZlibPath(s), "r");
    vexa::zcmpsFilestr z(file, workers);
    z.BeginReading(0, false);
    for (size_t n; (n = z.Read(chunk.data(), chunk.size())) > 0;) total += static_cast<int64_t>(n);
    state.SetIterationTime(Seconds(start));
  }
  if (total != state.iterations() * static_cast<int64_t>(ByteCode(s).size())) {
    state.SkipWithError("the data read back differs in size");
  }
  state.SetBytesProcessed(total);
  Label(state, s);
}

// Cases through the C API into a zlib file (kept for BM_WholeCaseInZlib).
std::string ApiZlibPath(Shape s) { return Dir().File("api" + std::to_string(s) + ".vexa"); }

void BM_WholeCaseOutZlib(benchmark::State& state) {
  const auto s = static_cast<Shape>(state.range(0));
  std::vector<char> one(static_cast<size_t>(Slots(s)) * 8);
  constexpr int kBatch = 64;
  std::vector<char> batch(one.size() * kBatch);
  for (int i = 0; i < kBatch; ++i) MakeCase(s, i, batch.data() + i * one.size());
  for (auto _ : state) {
    int h = -1;
    vexaOpenWrite(ApiZlibPath(s).c_str(), &h);
    for (int i = 0; i < Slots(s); ++i) {
      vexaSetVarName(h, VariableName(s, i).c_str(), i < Numerics(s) ? 0 : 8);
    }
    vexaSetCompression(h, 2);
    vexaCommitHeader(h);
    for (int64_t n = 0; n < CaseCount(s); ++n) {
      vexaWholeCaseOut(h, batch.data() + (n % kBatch) * one.size());
    }
    vexaCloseWrite(h);
  }
  state.SetBytesProcessed(state.iterations() * CaseCount(s) * static_cast<int64_t>(one.size()));
  state.SetLabel(ShapeName(s));
}

void BM_WholeCaseInZlib(benchmark::State& state) {
  const auto s = static_cast<Shape>(state.range(0));
  std::vector<char> one(static_cast<size_t>(Slots(s)) * 8);
  int64_t cases = 0;
  for (auto _ : state) {
    int h = -1;
    if (vexaOpenRead(ApiZlibPath(s).c_str(), &h) != VEXA_OK) {
      state.SkipWithError("run BM_WholeCaseOutZlib first");
      break;
    }
    while (vexaWholeCaseIn(h, one.data()) == VEXA_OK) ++cases;
    vexaCloseRead(h);
  }
  state.SetBytesProcessed(cases * static_cast<int64_t>(one.size()));
  state.SetLabel(ShapeName(s));
}

BENCHMARK(BM_Compress2)->Arg(kSurvey)->Arg(kWide)->Iterations(1)->Repetitions(3)->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibWrite)->Args({kSurvey, 1})->Args({kSurvey, 2})->Args({kWide, 1})
    ->Args({kWide, 2})->Iterations(1)->Repetitions(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Uncompress)->Arg(kSurvey)->Arg(kWide)->Iterations(1)->Repetitions(3)->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibRead)->Args({kSurvey, 0})->Args({kSurvey, 1})->Args({kSurvey, 2})
    ->Args({kWide, 0})->Args({kWide, 1})->Args({kWide, 2})->Iterations(1)->Repetitions(3)->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeCaseOutZlib)->Arg(kSurvey)->Arg(kWide)->Iterations(1)->Repetitions(3)->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeCaseInZlib)->Arg(kSurvey)->Arg(kWide)->Iterations(1)->Repetitions(3)->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
