// Reading cases from files of at least 1 GiB of case data (set VEXA_BENCH_MB
// for another size): a survey-like file (200 numerics of small integers with
// some missing and fractional values, 20 short strings) and a wide numeric
// file (2,000 doubles), each uncompressed and byte-code compressed. The
// yardsticks run in the same process: plain read() of the file in 4 MiB
// chunks (of either file), a bare loop that reads the uncompressed file and
// copies its cases out one by one, and a bare decode loop over the
// compressed bytes held in memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_shapes.h"
#include "ratio_report.h"
#include "support/sysfile_builder.h"
#include "support/temp_dir.h"
#include "sysfile/bytecode.h"
#include "vexaio.h"

namespace {

using vexa::testing::SysFileBuilder;
using namespace vexa::bench;

std::string Dictionary(Shape s, int compression) {
  SysFileBuilder b;
  b.Header({.compression = compression, .label = "read benchmark"});
  for (int i = 0; i < Numerics(s); ++i) b.NumericVar(VariableName(s, i));
  for (int i = 0; i < Strings(s); ++i) b.StringVar(VariableName(s, Numerics(s) + i), 8);
  return b.MachineInts().MachineFloats().End().Bytes();
}

class FileSink : public vexa::ByteCodeSink {
 public:
  explicit FileSink(std::FILE* f) : f_(f) {}
  void WriteBlocks(const char* block, size_t size) override {
    std::fwrite(block, 1, size, f_);
  }

 private:
  std::FILE* f_;
};

struct BenchFile {
  std::string path;
  int64_t cases = 0;
  int64_t case_bytes = 0;
  int64_t data_start = 0;
};

// Files are made once per process, in a temporary directory.
const BenchFile& File(Shape s, int compression) {
  static vexa::testing::TempDir dir;
  static BenchFile files[2][2];
  BenchFile& f = files[s][compression];
  if (!f.path.empty()) return f;
  f.path = dir.File("bench" + std::to_string(s) + std::to_string(compression) + ".vexa");
  f.case_bytes = Slots(s) * 8;
  f.cases = (TargetBytes() + f.case_bytes - 1) / f.case_bytes;
  std::string dict = Dictionary(s, compression);
  f.data_start = static_cast<int64_t>(dict.size());
  std::FILE* out = std::fopen(f.path.c_str(), "wb");
  std::fwrite(dict.data(), 1, dict.size(), out);
  std::vector<char> one(f.case_bytes);
  FileSink sink(out);
  vexa::ByteCodeEncoder encoder(sink);
  for (int64_t n = 0; n < f.cases; ++n) {
    MakeCase(s, n, one.data());
    if (compression == 1) {
      encoder.AppendSlots(one.data(), Slots(s));
    } else {
      std::fwrite(one.data(), 1, one.size(), out);
    }
  }
  encoder.Flush();
  std::fclose(out);
  Settle(f.path);
  return f;
}

// Yardstick: read() of the whole file in 4 MiB chunks. The rate counts the
// bytes of the cases the file holds, as the reading benchmarks do, so that
// for the compressed file it combines with the bare decode loop's rate:
// reading then decoding on one core would run at 1 / (1/read + 1/decode).
void BM_PlainRead(benchmark::State& state) {
  const auto shape = static_cast<Shape>(state.range(0));
  const BenchFile& f = File(shape, static_cast<int>(state.range(1)));
  std::vector<char> chunk(4 << 20);
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    int fd = ::open(f.path.c_str(), O_RDONLY);
    while (::read(fd, chunk.data(), chunk.size()) > 0) {
    }
    ::close(fd);
  }
  state.SetBytesProcessed(state.iterations() * f.cases * f.case_bytes);
  state.SetLabel(std::string(ShapeName(shape)) + (state.range(1) ? " bytecode" : " uncompressed"));
}

// Yardstick: the least any case-at-a-time reader of an uncompressed file
// does. read() of the case data in pieces of whole cases (512 KiB at the
// most, so that they stay in the core's cache), each case then copied into
// a one-case buffer, on one thread.
void BM_BareCopyOut(benchmark::State& state) {
  const auto shape = static_cast<Shape>(state.range(0));
  const BenchFile& f = File(shape, 0);
  const size_t piece = (size_t{512} << 10) / f.case_bytes * f.case_bytes;
  std::vector<char> window(piece), record(f.case_bytes);
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    int fd = ::open(f.path.c_str(), O_RDONLY);
    off_t at = f.data_start;
    ssize_t got;
    while ((got = ::pread(fd, window.data(), piece, at)) > 0) {
      at += got;
      for (ssize_t o = 0; o + f.case_bytes <= got; o += f.case_bytes) {
        std::memcpy(record.data(), window.data() + o, f.case_bytes);
        benchmark::ClobberMemory();
      }
    }
    ::close(fd);
  }
  state.SetBytesProcessed(state.iterations() * f.cases * f.case_bytes);
  state.SetLabel(std::string(ShapeName(shape)) + " uncompressed");
}

// Yardstick: a bare decode loop over the compressed bytes held in memory.
void BM_BareDecode(benchmark::State& state) {
  const BenchFile& f = File(static_cast<Shape>(state.range(0)), 1);
  std::FILE* in = std::fopen(f.path.c_str(), "rb");
  std::fseek(in, 0, SEEK_END);
  std::vector<char> data(std::ftell(in) - f.data_start);
  std::fseek(in, f.data_start, SEEK_SET);
  size_t got = std::fread(data.data(), 1, data.size(), in);
  std::fclose(in);
  data.resize(got);
  std::vector<char> out(f.case_bytes);
  const size_t slots = static_cast<size_t>(f.case_bytes / 8);
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    size_t produced = 0;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data());
    const uint8_t* end = p + data.size();
    while (p + 8 <= end) {
      const uint8_t* control = p;
      const char* literal = reinterpret_cast<const char*>(p + 8);
      for (int i = 0; i < 8; ++i) {
        uint8_t c = control[i];
        uint64_t v;
        if (c == 253) {
          std::memcpy(&v, literal, 8);
          literal += 8;
        } else if (c == 0) {
          continue;
        } else {
          v = vexa::kByteCodeValues.bits[c];
        }
        std::memcpy(out.data() + produced * 8, &v, 8);
        if (++produced == slots) produced = 0;
      }
      p = reinterpret_cast<const uint8_t*>(literal);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * f.cases * f.case_bytes);
  state.SetLabel(ShapeName(static_cast<Shape>(state.range(0))));
}

void BM_WholeCaseIn(benchmark::State& state) {
  auto shape = static_cast<Shape>(state.range(0));
  const BenchFile& f = File(shape, static_cast<int>(state.range(1)));
  std::vector<char> record(f.case_bytes);
  int64_t cases = 0;
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    int h = -1;
    vexaOpenRead(f.path.c_str(), &h);
    while (vexaWholeCaseIn(h, record.data()) == VEXA_OK) ++cases;
    vexaCloseRead(h);
  }
  state.SetBytesProcessed(cases * f.case_bytes);
  state.SetItemsProcessed(cases);
  state.SetLabel(std::string(ShapeName(shape)) +
                 (state.range(1) ? " bytecode" : " uncompressed"));
}

// vexaWholeCasesIn, 64 cases a call into one reused buffer: the reader's
// own speed, without the cost of a call per case.
void BM_WholeCasesIn(benchmark::State& state) {
  constexpr int kBatch = 64;
  auto shape = static_cast<Shape>(state.range(0));
  const BenchFile& f = File(shape, static_cast<int>(state.range(1)));
  std::vector<char> records(f.case_bytes * kBatch);
  int64_t cases = 0;
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    int h = -1, got = 0;
    vexaOpenRead(f.path.c_str(), &h);
    while (vexaWholeCasesIn(h, records.data(), kBatch, &got) == VEXA_OK) cases += got;
    cases += got;
    vexaCloseRead(h);
  }
  state.SetBytesProcessed(cases * f.case_bytes);
  state.SetItemsProcessed(cases);
  state.SetLabel(std::string(ShapeName(shape)) +
                 (state.range(1) ? " bytecode" : " uncompressed"));
}

// vexaReadCaseRecord followed by a value call for every variable.
void BM_ReadAndGetValues(benchmark::State& state) {
  auto shape = static_cast<Shape>(state.range(0));
  const BenchFile& f = File(shape, static_cast<int>(state.range(1)));
  int64_t cases = 0;
  char text[16];
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    int h = -1;
    vexaOpenRead(f.path.c_str(), &h);
    const int numerics = Numerics(shape);
    const int strings = Strings(shape);
    double sum = 0;
    while (vexaReadCaseRecord(h) == VEXA_OK) {
      for (int v = 1; v <= numerics; ++v) {
        double x;
        vexaGetValueNumeric(h, v, &x);
        sum += x;
      }
      for (int v = numerics + 1; v <= numerics + strings; ++v) {
        vexaGetValueChar(h, v, text, sizeof text);
      }
      ++cases;
    }
    benchmark::DoNotOptimize(sum);
    vexaCloseRead(h);
  }
  state.SetBytesProcessed(cases * f.case_bytes);
  state.SetItemsProcessed(cases);
  state.SetLabel(std::string(ShapeName(shape)) +
                 (state.range(1) ? " bytecode" : " uncompressed"));
}

// The cost of one vexaGetValueNumeric call on the current case.
void BM_GetValueNumeric(benchmark::State& state) {
  const BenchFile& f = File(kWide, 0);
  int h = -1;
  vexaOpenRead(f.path.c_str(), &h);
  vexaReadCaseRecord(h);
  double x = 0;
  int v = 1;
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    vexaGetValueNumeric(h, v, &x);
    benchmark::DoNotOptimize(x);
    if (++v > kWideNumerics) v = 1;
  }
  vexaCloseRead(h);
  state.SetItemsProcessed(state.iterations());
}

// vexaSeekNextCase to a random case, then one read.
void BM_RandomSeekAndRead(benchmark::State& state) {
  const BenchFile& f = File(kSurvey, static_cast<int>(state.range(0)));
  int h = -1;
  vexaOpenRead(f.path.c_str(), &h);
  std::mt19937_64 random(12345);
  std::uniform_int_distribution<int64_t> pick(0, f.cases - 1);
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    vexaSeekNextCase(h, static_cast<int>(pick(random)));
    if (vexaReadCaseRecord(h) != VEXA_OK) state.SkipWithError("read failed");
  }
  vexaCloseRead(h);
  state.SetLabel(state.range(0) ? "survey bytecode" : "survey uncompressed");
}

// Yardsticks and calls alike are timed by the clock on the wall: the
// library's worker threads are part of what a call costs, and a yardstick
// timed by its own processor time would gain on the calls whenever other
// work shares the machine.
BENCHMARK(BM_PlainRead)
    ->Args({kSurvey, 0})->Args({kSurvey, 1})->Args({kWide, 0})->Args({kWide, 1})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareCopyOut)->Arg(kSurvey)->Arg(kWide)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareDecode)
    ->Arg(kSurvey)->Arg(kWide)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeCaseIn)
    ->Args({kSurvey, 0})->Args({kSurvey, 1})->Args({kWide, 0})->Args({kWide, 1})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeCasesIn)
    ->Args({kSurvey, 0})->Args({kSurvey, 1})->Args({kWide, 0})->Args({kWide, 1})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAndGetValues)
    ->Args({kSurvey, 0})->Args({kSurvey, 1})->Args({kWide, 0})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GetValueNumeric);
BENCHMARK(BM_RandomSeekAndRead)->Arg(0)->Arg(1)->Iterations(10000)->Unit(benchmark::kMicrosecond);

// The targets: uncompressed reads at 0.9x the bare read-and-copy-out loop
// or better; byte-code reads at the rate of reading then decoding on one
// core, 1 / (1/read + 1/decode), or better; the classic loop of the survey
// file at 0.8 s per GiB or less.
void Report(const Rates& r) {
  for (Shape s : {kSurvey, kWide}) {
    const std::string shape = "/" + std::to_string(s);
    const double copy_out = r.Of("BM_BareCopyOut" + shape + "/real_time");
    const double read = r.Of("BM_PlainRead" + shape + "/1/real_time");
    const double decode = r.Of("BM_BareDecode" + shape + "/real_time");
    const double serial = read > 0 && decode > 0 ? 1 / (1 / read + 1 / decode) : 0;
    for (const char* call : {"BM_WholeCaseIn", "BM_WholeCasesIn"}) {
      const std::string name = std::string(call) + shape;
      r.Ratio(name + " uncompressed / bare copy-out", r.Of(name + "/0/real_time"), copy_out,
              ">= 0.9");
      r.Ratio(name + " bytecode / serial read+decode", r.Of(name + "/1/real_time"), serial,
              ">= 1.0");
    }
  }
  const double classic = r.Of("BM_ReadAndGetValues/0/0/real_time");
  r.Ratio("BM_ReadAndGetValues survey uncompressed, s per GiB", classic > 0 ? 1 : 0,
          classic / (1 << 30), "<= 0.8");
}

}  // namespace

int main(int argc, char** argv) { return RunAndReport(argc, argv, Report); }
