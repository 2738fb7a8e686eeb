// Protected files against the same plain files, on survey-like cases (200
// numerics, 20 short strings) of at least 1 GiB (VEXA_BENCH_MB sets another
// size), all through the C API in one run: opening and closing for reading;
// reading every case, uncompressed and byte code; writing a new file; adding
// one case to the uncompressed file. A protected file is read and written
// through the cipher in place, so each protected figure is to be read as a
// ratio to the plain one beside it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench_shapes.h"
#include "support/temp_dir.h"
#include "vexaio.h"

namespace {

using namespace vexa::bench;

constexpr Shape kShape = kSurvey;
constexpr const char* kPassword = "bench";

int OpenWrite(const std::string& path, bool secret, int* h) {
  return secret ? vexaOpenWriteEx(path.c_str(), kPassword, h) : vexaOpenWrite(path.c_str(), h);
}

int OpenRead(const std::string& path, bool secret, int* h) {
  return secret ? vexaOpenReadEx(path.c_str(), kPassword, h) : vexaOpenRead(path.c_str(), h);
}

int64_t Cases() {
  const int64_t case_bytes = Slots(kShape) * 8;
  return (TargetBytes() + case_bytes - 1) / case_bytes;
}

// Writes a file of Cases() cases through the library; 0 or the first code.
int WriteFile(const std::string& path, int compression, bool secret) {
  int h = -1;
  int code = OpenWrite(path, secret, &h);
  for (int i = 0; i < Slots(kShape) && code == VEXA_OK; ++i) {
    code = vexaSetVarName(h, VariableName(kShape, i).c_str(), i < Numerics(kShape) ? 0 : 8);
  }
  if (code == VEXA_OK) code = vexaSetCompression(h, compression);
  if (code == VEXA_OK) code = vexaCommitHeader(h);
  std::vector<char> one(static_cast<size_t>(Slots(kShape)) * 8);
  for (int64_t n = 0; n < Cases() && code == VEXA_OK; ++n) {
    MakeCase(kShape, n, one.data());
    code = vexaWholeCaseOut(h, one.data());
  }
  const int closed = vexaCloseWrite(h);
  return code != VEXA_OK ? code : closed;
}

// The files, made once per process: by compression (0, 1) and protection.
const std::string& File(int compression, bool secret) {
  static vexa::testing::TempDir dir;
  static std::string paths[2][2];
  std::string& path = paths[compression][secret];
  if (path.empty()) {
    path = dir.File("bench" + std::to_string(compression) + (secret ? "p" : "") + ".vexa");
    if (WriteFile(path, compression, secret) != VEXA_OK) path.clear();
  }
  return path;
}

std::string Label(int compression, bool secret) {
  return std::string(compression ? "bytecode" : "uncompressed") + (secret ? " protected" : " plain");
}

void BM_OpenAndClose(benchmark::State& state) {
  const bool secret = state.range(0) != 0;
  const std::string& path = File(0, secret);
  if (path.empty()) state.SkipWithError("the file could not be written");
  for (auto _ : state) {
    int h = -1;
    if (OpenRead(path, secret, &h) != VEXA_OK) state.SkipWithError("open failed");
    vexaCloseRead(h);
  }
  state.SetLabel(Label(0, secret));
}
BENCHMARK(BM_OpenAndClose)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadEveryCase(benchmark::State& state) {
  const int compression = static_cast<int>(state.range(0));
  const bool secret = state.range(1) != 0;
  const std::string& path = File(compression, secret);
  if (path.empty()) state.SkipWithError("the file could not be written");
  std::vector<char> record(static_cast<size_t>(Slots(kShape)) * 8);
  int64_t cases = 0;
  for (auto _ : state) {
    int h = -1;
    if (OpenRead(path, secret, &h) != VEXA_OK) state.SkipWithError("open failed");
    while (vexaWholeCaseIn(h, record.data()) == VEXA_OK) ++cases;
    vexaCloseRead(h);
  }
  state.SetBytesProcessed(cases * static_cast<int64_t>(record.size()));
  state.SetLabel(Label(compression, secret));
}
BENCHMARK(BM_ReadEveryCase)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Write(benchmark::State& state) {
  const bool secret = state.range(0) != 0;
  static vexa::testing::TempDir dir;
  const std::string path = dir.File("written.vexa");
  for (auto _ : state) {
    // A new file each time, plain or protected alike: one that replaces
    // another is flushed to the disk first, which measures the disk.
    state.PauseTiming();
    ::unlink(path.c_str());
    state.ResumeTiming();
    if (WriteFile(path, 0, secret) != VEXA_OK) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(state.iterations() * Cases() * Slots(kShape) * 8);
  state.SetLabel(Label(0, secret));
}
BENCHMARK(BM_Write)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// One case added and the file closed, which flushes it to the disk: the
// file's ends are all an append touches. The first append, untimed, waits
// for the disk to take the file just written.
void BM_AppendOneCase(benchmark::State& state) {
  const bool secret = state.range(0) != 0;
  const std::string& path = File(0, secret);
  if (path.empty()) state.SkipWithError("the file could not be written");
  std::vector<char> one(static_cast<size_t>(Slots(kShape)) * 8);
  MakeCase(kShape, 0, one.data());
  const auto append = [&] {
    int h = -1;
    const int code = secret ? vexaOpenAppendEx(path.c_str(), kPassword, &h)
                            : vexaOpenAppend(path.c_str(), &h);
    const int wrote = code == VEXA_OK ? vexaWholeCaseOut(h, one.data()) : code;
    return wrote == VEXA_OK ? vexaCloseAppend(h) : wrote;
  };
  if (append() != VEXA_OK) state.SkipWithError("append failed");
  for (auto _ : state) {
    if (append() != VEXA_OK) state.SkipWithError("append failed");
  }
  state.SetLabel(Label(0, secret));
}
BENCHMARK(BM_AppendOneCase)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
