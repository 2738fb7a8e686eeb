// Writing at least 1 GiB of case data (VEXA_BENCH_MB sets another size) in
// the survey and wide shapes, with vexaWholeCaseOut and with
// vexaSetValueNumeric/Char + vexaCommitCaseRecord, uncompressed and
// byte-code compressed. The yardsticks run in the same process: write() of
// the same bytes in 4 MiB chunks into a new file, and a bare encode loop
// over the same cases in memory. Also: committing a header of 20,000
// variables with long names, very long strings and value labels.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_shapes.h"
#include "ratio_report.h"
#include "support/temp_dir.h"
#include "sysfile/bytecode.h"
#include "vexaio.h"

namespace {

using namespace vexa::bench;

// Cases are taken round-robin from a batch made in advance, so that making
// them costs nothing in the loops measured.
constexpr int kBatch = 64;

struct Batch {
  explicit Batch(Shape s) : bytes(static_cast<size_t>(Slots(s)) * 8) {
    data.resize(bytes * kBatch);
    for (int i = 0; i < kBatch; ++i) MakeCase(s, i, data.data() + i * bytes);
  }
  const char* Case(int64_t n) const { return data.data() + (n % kBatch) * bytes; }
  size_t bytes;
  std::vector<char> data;
};

int64_t CaseCount(Shape s) {
  int64_t bytes = static_cast<int64_t>(Slots(s)) * 8;
  return (TargetBytes() + bytes - 1) / bytes;
}

vexa::testing::TempDir& Dir() {
  static vexa::testing::TempDir dir;
  return dir;
}

// A write handle with the shape's dictionary, committed.
int OpenCommitted(Shape s, int compression) {
  int h = -1;
  vexaOpenWrite(Dir().File("out.vexa").c_str(), &h);
  for (int i = 0; i < Slots(s); ++i) {
    vexaSetVarName(h, VariableName(s, i).c_str(), i < Numerics(s) ? 0 : 8);
  }
  vexaSetCompression(h, compression);
  vexaCommitHeader(h);
  return h;
}

// Every timed write makes a new file, the old one removed before the clock
// runs: a file that replaces another is also flushed to the disk at its
// close, which measures the disk rather than the writer.
void RemoveUntimed(benchmark::State& state, ProcessCpu& cpu, const std::string& path) {
  state.PauseTiming();
  cpu.Pause();
  ::unlink(path.c_str());
  cpu.Resume();
  state.ResumeTiming();
}

void Label(benchmark::State& state, Shape s, int compression) {
  state.SetLabel(std::string(ShapeName(s)) +
                 (compression ? " bytecode" : " uncompressed"));
}

// Counts the compressed bytes of an encoder.
class CountingSink : public vexa::ByteCodeSink {
 public:
  void WriteBlocks(const char*, size_t size) override { used += static_cast<int64_t>(size); }
  int64_t used = 0;
};

// Yardstick: write() into a new file, in 4 MiB chunks, of as many bytes as
// the file's cases take: the cases themselves, or their byte code (which for
// the wide shape is larger than the cases). The rate counts case bytes, as
// the writing benchmarks do. Neither side waits for the disk: the yardstick
// does not sync, and the writer syncs only a file that replaces another
// (every timed write here makes a new file).
void BM_PlainWrite(benchmark::State& state) {
  auto s = static_cast<Shape>(state.range(0));
  const int compression = static_cast<int>(state.range(1));
  Batch batch(s);
  std::vector<char> chunk(4 << 20);
  for (size_t at = 0; at < chunk.size(); at += batch.bytes) {
    std::memcpy(chunk.data() + at, batch.Case(at / batch.bytes),
                std::min(batch.bytes, chunk.size() - at));
  }
  const int64_t cases = CaseCount(s);
  int64_t total = cases * static_cast<int64_t>(batch.bytes);
  if (compression) {
    CountingSink sink;
    vexa::ByteCodeEncoder encoder(sink);
    for (int64_t n = 0; n < cases; ++n) encoder.AppendSlots(batch.Case(n), Slots(s));
    encoder.Flush();
    total = sink.used;
  }
  auto write_all = [&] {
    int fd = ::open(Dir().File("plain.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (int64_t done = 0; done < total;) {
      size_t n = static_cast<size_t>(std::min<int64_t>(chunk.size(), total - done));
      done += ::write(fd, chunk.data(), n);
    }
    ::close(fd);
  };
  write_all();  // warms the page cache
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    RemoveUntimed(state, process_cpu, Dir().File("plain.bin"));
    write_all();
  }
  state.SetBytesProcessed(state.iterations() * cases * static_cast<int64_t>(batch.bytes));
  Label(state, s, compression);
}

// Gathers the compressed bytes in memory, as the yardstick's output: the
// encoder builds its blocks there in place, as the writer builds them in its
// stream's buffer.
class MemorySink : public vexa::ByteCodeSink {
 public:
  explicit MemorySink(std::vector<char>& out) : out_(out) {}
  char* BlockSpace(size_t, size_t* room) override {
    *room = out_.size() - used;
    return out_.data() + used;
  }
  void CommitBlocks(size_t size) override { used += size; }
  void WriteBlocks(const char* block, size_t size) override {
    std::memcpy(out_.data() + used, block, size);
    used += size;
  }
  size_t used = 0;

 private:
  std::vector<char>& out_;
};

// Yardstick: the bare encode loop over the same cases, into memory that is
// already mapped (a block holds at most 9 units for 8 values).
void BM_BareEncode(benchmark::State& state) {
  auto s = static_cast<Shape>(state.range(0));
  Batch batch(s);
  const int64_t cases = CaseCount(s);
  std::vector<char> out(static_cast<size_t>(cases) * batch.bytes / 8 * 9 + 72);
  std::memset(out.data(), 0, out.size());
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    MemorySink sink(out);
    vexa::ByteCodeEncoder encoder(sink);
    for (int64_t n = 0; n < cases; ++n) encoder.AppendSlots(batch.Case(n), Slots(s));
    encoder.Flush();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * cases * static_cast<int64_t>(batch.bytes));
  state.SetLabel(ShapeName(s));
}

void BM_WholeCaseOut(benchmark::State& state) {
  auto s = static_cast<Shape>(state.range(0));
  int compression = static_cast<int>(state.range(1));
  Batch batch(s);
  const int64_t cases = CaseCount(s);
  auto write_all = [&] {
    int h = OpenCommitted(s, compression);
    for (int64_t n = 0; n < cases; ++n) vexaWholeCaseOut(h, batch.Case(n));
    vexaCloseWrite(h);
  };
  write_all();  // warms the page cache
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    RemoveUntimed(state, process_cpu, Dir().File("out.vexa"));
    write_all();
  }
  state.SetBytesProcessed(state.iterations() * cases * static_cast<int64_t>(batch.bytes));
  state.SetItemsProcessed(state.iterations() * cases);
  Label(state, s, compression);
}

void BM_SetValuesAndCommit(benchmark::State& state) {
  auto s = static_cast<Shape>(state.range(0));
  int compression = static_cast<int>(state.range(1));
  Batch batch(s);
  const int64_t cases = CaseCount(s);
  char text[9] = {};
  ProcessCpu process_cpu(state);
  for (auto _ : state) {
    RemoveUntimed(state, process_cpu, Dir().File("out.vexa"));
    int h = OpenCommitted(s, compression);
    for (int64_t n = 0; n < cases; ++n) {
      const char* c = batch.Case(n);
      for (int v = 0; v < Numerics(s); ++v) {
        double x;
        std::memcpy(&x, c + v * 8, 8);
        vexaSetValueNumeric(h, v + 1, x);
      }
      for (int v = Numerics(s); v < Slots(s); ++v) {
        std::memcpy(text, c + v * 8, 8);
        vexaSetValueChar(h, v + 1, text);
      }
      vexaCommitCaseRecord(h);
    }
    vexaCloseWrite(h);
  }
  state.SetBytesProcessed(state.iterations() * cases * static_cast<int64_t>(batch.bytes));
  state.SetItemsProcessed(state.iterations() * cases);
  Label(state, s, compression);
}

// The header commit of a wide dictionary: 20,000 variables with long names
// and labels, one in fifty a very long string, 2,000 value label sets.
void BM_CommitHeader(benchmark::State& state) {
  const int variables = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    int h = -1;
    vexaOpenWrite(Dir().File("header.vexa").c_str(), &h);
    const std::string label(120, 'L');
    for (int i = 0; i < variables; ++i) {
      std::string name = "variable_with_a_long_name_" + std::to_string(i);
      int type = i % 50 == 7 ? 1000 : (i % 4 == 3 ? 24 : 0);
      vexaSetVarName(h, name.c_str(), type);
      vexaSetVarLabel(h, name.c_str(), label.c_str());
      if (type == 0 && i % 7 == 0) {
        for (int v = 1; v <= 5; ++v) {
          vexaSetVarNValueLabel(h, name.c_str(), v, "a value label");
        }
      }
    }
    state.ResumeTiming();
    vexaCommitHeader(h);
    state.PauseTiming();
    vexaCloseWrite(h);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * variables);
}

// Yardsticks and calls alike are timed by the clock on the wall: the
// library's worker threads are part of what a call costs, and a yardstick
// timed by its own processor time would gain on the calls whenever other
// work shares the machine.
BENCHMARK(BM_PlainWrite)
    ->Args({kSurvey, 0})->Args({kSurvey, 1})->Args({kWide, 0})->Args({kWide, 1})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareEncode)
    ->Arg(kSurvey)->Arg(kWide)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeCaseOut)
    ->Args({kSurvey, 0})->Args({kSurvey, 1})->Args({kWide, 0})->Args({kWide, 1})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SetValuesAndCommit)
    ->Args({kSurvey, 0})->Args({kSurvey, 1})->Args({kWide, 0})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CommitHeader)->Arg(20000)->Unit(benchmark::kMillisecond);

// The targets: uncompressed vexaWholeCaseOut at 0.9x of write() of the
// same bytes; byte-code at 0.8x of the slower of the bare encode loop and
// write() of the byte code, which the report names; the value-by-value
// writer at 0.8 s per GiB or less.
void Report(const Rates& r) {
  for (Shape s : {kSurvey, kWide}) {
    const std::string shape = "/" + std::to_string(s);
    const std::string aim = ">= 0.8";
    r.Ratio("BM_WholeCaseOut" + shape + " uncompressed / write()",
            r.Of("BM_WholeCaseOut" + shape + "/0/real_time"),
            r.Of("BM_PlainWrite" + shape + "/0/real_time"), ">= 0.9");
    const double encode = r.Of("BM_BareEncode" + shape + "/real_time");
    const double write = r.Of("BM_PlainWrite" + shape + "/1/real_time");
    const bool encode_slower = encode > 0 && (write <= 0 || encode < write);
    r.Ratio("BM_WholeCaseOut" + shape + " bytecode / " +
                (encode_slower ? "bare encode (the slower)" : "write() of byte code (the slower)"),
            r.Of("BM_WholeCaseOut" + shape + "/1/real_time"), encode_slower ? encode : write, aim);
    const double by_value = r.Of("BM_SetValuesAndCommit" + shape + "/0/real_time");
    r.Ratio("BM_SetValuesAndCommit" + shape + " uncompressed, s per GiB", by_value > 0 ? 1 : 0,
            by_value / (1 << 30), "<= 0.8");
  }
}

}  // namespace

int main(int argc, char** argv) { return RunAndReport(argc, argv, Report); }
