// The cost of one call of the C API, on files of 10 million short cases
// (4 numbers, 32 bytes a case; VEXA_BENCH_CASES sets another count),
// uncompressed and byte-code compressed, made through the API itself. The
// program links the shared library, as callers do, so that the figures
// include what every exported call pays for the way in. Yardsticks in the
// same run: a bare loop that reads the uncompressed file and copies each
// case out, and a bare decode loop over the compressed bytes in memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_shapes.h"
#include "ratio_report.h"
#include "vexaio.h"

namespace {

constexpr int kValues = 4;
constexpr int64_t kCaseBytes = kValues * 8;

int64_t Cases() {
  const char* n = std::getenv("VEXA_BENCH_CASES");
  return n ? std::atoll(n) : 10'000'000;
}

struct BenchFile {
  std::string path;
  int64_t data_start = 0;  // the first case's position (uncompressed and byte-code)
};

// Small whole numbers, as survey codes are, so that byte-code holds most
// values in one byte; every 16th value is fractional and is kept whole.
double ValueOf(int64_t c, int v) {
  const int64_t k = c * kValues + v;
  return k % 16 == 0 ? static_cast<double>(k) / 7.0 : static_cast<double>(k % 90);
}

// `text` gives the last variable an 8-byte string instead of a number.
const BenchFile& File(int compression, bool text) {
  static char dir_template[] = "/tmp/vexa-call-cost-XXXXXX";
  static const char* dir = mkdtemp(dir_template);
  static BenchFile files[3][2];
  BenchFile& f = files[compression][text ? 1 : 0];
  if (!f.path.empty()) return f;
  f.path = std::string(dir) + "/c" + std::to_string(compression) + (text ? "t" : "n") + ".vexa";
  int h = -1;
  if (vexaOpenWrite(f.path.c_str(), &h) != VEXA_OK) std::abort();
  vexaSetCompression(h, compression);
  for (int v = 0; v < kValues; ++v) {
    const bool is_text = text && v == kValues - 1;
    vexaSetVarName(h, ("v" + std::to_string(v)).c_str(), is_text ? 8 : 0);
  }
  vexaCommitHeader(h);
  char record[kCaseBytes];
  for (int64_t c = 0, n = Cases(); c < n; ++c) {
    for (int v = 0; v < kValues; ++v) {
      const double x = ValueOf(c, v);
      std::memcpy(record + v * 8, &x, 8);
    }
    if (text) std::memcpy(record + (kValues - 1) * 8, "abcdefgh", 8);
    vexaWholeCaseOut(h, record);
  }
  if (vexaCloseWrite(h) != VEXA_OK) std::abort();
  vexa::bench::Settle(f.path);
  std::FILE* in = std::fopen(f.path.c_str(), "rb");
  std::vector<char> head(1 << 16);
  const size_t got = std::fread(head.data(), 1, head.size(), in);
  std::fclose(in);
  // The dictionary ends with the termination record: type 999 and a filler
  // of 0 (no earlier record of so small a dictionary holds that pair).
  for (size_t i = 0; i + 8 <= got; i += 4) {
    int32_t type, filler;
    std::memcpy(&type, head.data() + i, 4);
    std::memcpy(&filler, head.data() + i + 4, 4);
    if (type == 999 && filler == 0) {
      f.data_start = static_cast<int64_t>(i + 8);
      break;
    }
  }
  return f;
}

std::string Label(int compression) { return compression ? "bytecode" : "uncompressed"; }

// Yardstick: read() of the case data in pieces of whole cases, each case
// then copied into a one-case buffer.
void BM_BareCopyOut(benchmark::State& state) {
  const BenchFile& f = File(0, false);
  const size_t piece = (size_t{512} << 10) / kCaseBytes * kCaseBytes;
  std::vector<char> window(piece), record(kCaseBytes);
  int64_t cases = 0;
  vexa::bench::ProcessCpu process_cpu(state);
  for (auto _ : state) {
    const int fd = ::open(f.path.c_str(), O_RDONLY);
    off_t at = f.data_start;
    ssize_t got;
    while ((got = ::pread(fd, window.data(), piece, at)) > 0) {
      at += got;
      for (ssize_t o = 0; o + kCaseBytes <= got; o += kCaseBytes) {
        std::memcpy(record.data(), window.data() + o, kCaseBytes);
        benchmark::ClobberMemory();
        ++cases;
      }
    }
    ::close(fd);
  }
  state.SetItemsProcessed(cases);
}

// Yardstick: a bare decode loop over the compressed case bytes in memory.
void BM_BareDecode(benchmark::State& state) {
  const BenchFile& f = File(1, false);
  std::FILE* in = std::fopen(f.path.c_str(), "rb");
  std::fseek(in, 0, SEEK_END);
  std::vector<unsigned char> data(static_cast<size_t>(std::ftell(in) - f.data_start));
  std::fseek(in, f.data_start, SEEK_SET);
  data.resize(std::fread(data.data(), 1, data.size(), in));
  std::fclose(in);
  std::vector<char> out(kCaseBytes);
  int64_t cases = 0;
  vexa::bench::ProcessCpu process_cpu(state);
  for (auto _ : state) {
    size_t produced = 0;
    const unsigned char* p = data.data();
    const unsigned char* end = p + data.size();
    while (p + 8 <= end) {
      const unsigned char* control = p;
      const unsigned char* literal = p + 8;
      for (int i = 0; i < 8; ++i) {
        const unsigned c = control[i];
        double v;
        if (c == 253) {
          std::memcpy(&v, literal, 8);
          literal += 8;
        } else if (c == 0) {
          continue;
        } else {
          v = static_cast<double>(static_cast<int>(c) - 100);
        }
        std::memcpy(out.data() + produced * 8, &v, 8);
        if (++produced == kValues) {
          produced = 0;
          benchmark::ClobberMemory();
          ++cases;
        }
      }
      p = literal;
    }
  }
  state.SetItemsProcessed(cases);
}

void BM_WholeCaseIn(benchmark::State& state) {
  const int compression = static_cast<int>(state.range(0));
  const BenchFile& f = File(compression, false);
  char record[kCaseBytes];
  int64_t cases = 0;
  vexa::bench::ProcessCpu process_cpu(state);
  for (auto _ : state) {
    int h = -1;
    vexaOpenRead(f.path.c_str(), &h);
    while (vexaWholeCaseIn(h, record) == VEXA_OK) ++cases;
    vexaCloseRead(h);
  }
  state.SetItemsProcessed(cases);
  state.SetLabel(Label(compression));
}

void BM_WholeCasesIn(benchmark::State& state) {
  constexpr int kBatch = 1024;
  const int compression = static_cast<int>(state.range(0));
  const BenchFile& f = File(compression, false);
  std::vector<char> records(kCaseBytes * kBatch);
  int64_t cases = 0;
  vexa::bench::ProcessCpu process_cpu(state);
  for (auto _ : state) {
    int h = -1, got = 0;
    vexaOpenRead(f.path.c_str(), &h);
    while (vexaWholeCasesIn(h, records.data(), kBatch, &got) == VEXA_OK) cases += got;
    cases += got;
    vexaCloseRead(h);
  }
  state.SetItemsProcessed(cases);
  state.SetLabel(Label(compression));
}

void BM_ReadCaseRecord(benchmark::State& state) {
  const int compression = static_cast<int>(state.range(0));
  const BenchFile& f = File(compression, false);
  int64_t cases = 0;
  vexa::bench::ProcessCpu process_cpu(state);
  for (auto _ : state) {
    int h = -1;
    vexaOpenRead(f.path.c_str(), &h);
    while (vexaReadCaseRecord(h) == VEXA_OK) ++cases;
    vexaCloseRead(h);
  }
  state.SetItemsProcessed(cases);
  state.SetLabel(Label(compression));
}

// The classic loop: a case, then each of its values.
void BM_ReadAndGetValues(benchmark::State& state) {
  const int compression = static_cast<int>(state.range(0));
  const BenchFile& f = File(compression, false);
  int64_t cases = 0;
  double sum = 0;
  vexa::bench::ProcessCpu process_cpu(state);
  for (auto _ : state) {
    int h = -1;
    vexaOpenRead(f.path.c_str(), &h);
    while (vexaReadCaseRecord(h) == VEXA_OK) {
      for (int v = 1; v <= kValues; ++v) {
        double x;
        vexaGetValueNumeric(h, v, &x);
        sum += x;
      }
      ++cases;
    }
    vexaCloseRead(h);
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(cases);
  state.SetLabel(Label(compression));
}

// One value call on the current case, the case staying the same.
void BM_GetValueNumeric(benchmark::State& state) {
  const BenchFile& f = File(static_cast<int>(state.range(0)), false);
  int h = -1;
  vexaOpenRead(f.path.c_str(), &h);
  vexaReadCaseRecord(h);
  double x = 0;
  int v = 1;
  vexa::bench::ProcessCpu process_cpu(state);
  for (auto _ : state) {
    vexaGetValueNumeric(h, v, &x);
    benchmark::DoNotOptimize(x);
    if (++v > kValues) v = 1;
  }
  vexaCloseRead(h);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(Label(static_cast<int>(state.range(0))));
}

void BM_GetValueChar(benchmark::State& state) {
  const BenchFile& f = File(static_cast<int>(state.range(0)), true);
  int h = -1;
  vexaOpenRead(f.path.c_str(), &h);
  vexaReadCaseRecord(h);
  char text[16];
  vexa::bench::ProcessCpu process_cpu(state);
  for (auto _ : state) {
    vexaGetValueChar(h, kValues, text, sizeof text);
    benchmark::DoNotOptimize(text);
  }
  vexaCloseRead(h);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(Label(static_cast<int>(state.range(0))));
}

// Yardsticks and calls alike are timed by the clock on the wall: the
// library's worker threads are part of what a call costs, and a yardstick
// timed by its own processor time would gain on the calls whenever other
// work shares the machine.
BENCHMARK(BM_BareCopyOut)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeCaseIn)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeCasesIn)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadCaseRecord)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAndGetValues)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GetValueNumeric)->Arg(0)->Arg(1);
BENCHMARK(BM_GetValueChar)->Arg(0)->Arg(1);

// The targets, per call: a value call 5 ns or less, a one-case read of 32
// bytes 8 ns or less; many cases a call at 1.5x the bare loop's time or
// less (uncompressed) and 1.2x the bare decode loop's (byte-code).
void Report(const vexa::bench::Rates& r) {
  constexpr double kNs = 1e-9;
  for (const char* c : {"/0", "/1"}) {
    const std::string form = std::string(c) == "/0" ? " uncompressed" : " bytecode";
    for (const char* call : {"BM_GetValueNumeric", "BM_GetValueChar"}) {
      const double rate = r.Of(std::string(call) + c);
      r.Ratio(std::string(call) + form + ", ns a call", rate > 0 ? 1 : 0, rate * kNs, "<= 5");
    }
    for (const char* call : {"BM_ReadCaseRecord", "BM_WholeCaseIn"}) {
      const double rate = r.Of(std::string(call) + c + "/real_time");
      r.Ratio(std::string(call) + form + ", ns a call", rate > 0 ? 1 : 0, rate * kNs,
              std::string(c) == "/0" ? "<= 8" : "-");
    }
  }
  r.Ratio("BM_WholeCasesIn uncompressed, time / bare copy-out's",
          r.Of("BM_BareCopyOut/real_time"), r.Of("BM_WholeCasesIn/0/real_time"), "<= 1.5");
  r.Ratio("BM_WholeCasesIn bytecode, time / bare decode's", r.Of("BM_BareDecode/real_time"),
          r.Of("BM_WholeCasesIn/1/real_time"), "<= 1.2");
}

}  // namespace

int main(int argc, char** argv) { return vexa::bench::RunAndReport(argc, argv, Report); }
