// Opening and closing a protected file of at least 1 GiB (VEXA_BENCH_MB sets
// another size), which decrypts it whole into the private copy, against
// libcrypto's own AES-256-ECB decryption of as many bytes held in memory,
// in the same run. A second yardstick is the floor of any design that keeps
// the plain copy in a file: writing as many bytes into a new temporary file
// (1 MiB at a time, from memory, no cipher) and closing it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "vexaio.h"

namespace {

int64_t Megabytes() {
  const char* mb = std::getenv("VEXA_BENCH_MB");
  return mb ? std::atoll(mb) : 1024;
}

// A file of one wide case layout (100 doubles a case), written protected.
const std::string& ProtectedFile() {
  static vexa::testing::TempDir dir;
  static std::string path;
  if (!path.empty()) return path;
  path = dir.File("protected.vexa");
  int h = -1;
  vexaOpenWriteEx(path.c_str(), "bench", &h);
  vexaSetCompression(h, 0);
  for (int i = 0; i < 100; ++i) vexaSetVarName(h, ("v" + std::to_string(i)).c_str(), 0);
  vexaCommitHeader(h);
  std::vector<double> row(100);
  const int64_t cases = (Megabytes() << 20) / 800;
  for (int64_t c = 0; c < cases; ++c) {
    for (int i = 0; i < 100; ++i) row[i] = static_cast<double>((c * 7 + i) % 1000);
    vexaWholeCaseOut(h, row.data());
  }
  vexaCloseWrite(h);
  return path;
}

void BM_OpenAndCloseProtected(benchmark::State& state) {
  const std::string& path = ProtectedFile();
  for (auto _ : state) {
    int h = -1;
    if (vexaOpenReadEx(path.c_str(), "bench", &h) != VEXA_OK) state.SkipWithError("open failed");
    vexaCloseRead(h);
  }
  state.SetBytesProcessed(state.iterations() * (Megabytes() << 20));
}
BENCHMARK(BM_OpenAndCloseProtected)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_LibcryptoAesEcbDecrypt(benchmark::State& state) {
  const size_t chunk = 1 << 20;
  std::vector<unsigned char> in(chunk, 0x5a), out(chunk + 16);
  unsigned char key[32] = {1, 2, 3};
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  for (auto _ : state) {
    EVP_DecryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int n = 0;
    for (int64_t done = 0; done < (Megabytes() << 20); done += chunk) {
      EVP_DecryptUpdate(ctx, out.data(), &n, in.data(), static_cast<int>(chunk));
    }
    benchmark::DoNotOptimize(out.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  state.SetBytesProcessed(state.iterations() * (Megabytes() << 20));
}
BENCHMARK(BM_LibcryptoAesEcbDecrypt)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_NewFileWriteAndClose(benchmark::State& state) {
  static vexa::testing::TempDir dir;
  const size_t chunk = 1 << 20;
  std::vector<char> data(chunk, 0x5a);
  for (auto _ : state) {
    const std::string path = dir.File("copy");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ::unlink(path.c_str());
    for (int64_t done = 0; done < (Megabytes() << 20); done += chunk) {
      if (::pwrite(fd, data.data(), chunk, done) != static_cast<ssize_t>(chunk)) {
        state.SkipWithError("write failed");
      }
    }
    ::close(fd);
  }
  state.SetBytesProcessed(state.iterations() * (Megabytes() << 20));
}
BENCHMARK(BM_NewFileWriteAndClose)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
