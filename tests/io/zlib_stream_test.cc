// The zlib stream: round trips at the block boundaries with every worker
// count (each writing the bytes the test builder composes), reads across
// blocks and backwards, appends after full and partial last blocks of any
// block size, the other byte order, damaged files, and a worker's failure
// reaching the caller.
#include "io/zlib_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "io/file_stream.h"
#include "support/open_bytes.h"  // ErrorNumberOf
#include "support/sysfile_builder.h"
#include "support/temp_dir.h"

namespace vexa {
namespace {

using testing::ErrorNumberOf;
using testing::ReadFile;
using testing::TempDir;

constexpr int64_t kStart = 1000;  // the case start: a dictionary before it
constexpr size_t kB = kBlockSize;

// Compressible, but not trivially: small random numbers in runs.
std::string Data(size_t n, unsigned seed = 7) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 8 == 0 ? rng() : rng() % 4);
  return s;
}

RefPtr<VEXA_File> OpenFile(const std::string& path, const char* mode) {
  RefPtr<VEXA_File> f = RefPtr<VEXA_File>::Make();
  EXPECT_TRUE(Use(f).Open(path, mode));
  return f;
}

void WriteIn(zcmpsFilestr& z, const std::string& data, size_t chunk) {
  for (size_t at = 0; at < data.size(); at += chunk) {
    const size_t n = std::min(chunk, data.size() - at);
    ASSERT_EQ(z.Write(data.data() + at, n), n);
  }
}

// The file of `data` written from kStart with `workers`, in writes of `chunk`.
std::string WriteZlib(const std::string& path, const std::string& data, int workers,
                      size_t chunk = 100003) {
  RefPtr<VEXA_File> f = OpenFile(path, "w+");
  Use(f).WriteAt(std::string(kStart, 'D').data(), kStart, 0);
  zcmpsFilestr z(f, workers);
  z.BeginWriting(kStart);
  WriteIn(z, data, chunk);
  z.Close();
  return ReadFile(path);
}

std::string ReadZlib(const std::string& path, bool swap, int workers, size_t chunk) {
  zcmpsFilestr z(OpenFile(path, "r"), workers);
  z.BeginReading(kStart, swap);
  std::string got, buf(chunk, '\0');
  for (size_t n; (n = z.Read(buf.data(), chunk)) > 0;) got.append(buf, 0, n);
  return got;
}

// The file that WriteZlib writes (in blocks of kB), composed by the test
// builder: the data in blocks of `block` bytes in the given byte order.
std::string Composed(const std::string& data, size_t block = kB, bool big_endian = false) {
  return std::string(kStart, 'D') +
         testing::ZlibForm(data, kStart, static_cast<int32_t>(block), big_endian);
}

TEST(ZlibStreamTest, RoundTripsAtBlockBoundariesInBothByteOrders) {
  TempDir dir;
  for (size_t size : {size_t{0}, size_t{1}, kB - 1, kB, kB + 1, 2 * kB + 12345}) {
    SCOPED_TRACE(size);
    const std::string data = Data(size);
    const std::string composed = Composed(data);
    for (int workers : {0, 1, 2}) {
      SCOPED_TRACE(workers);
      const std::string path = dir.File("w" + std::to_string(workers));
      EXPECT_TRUE(WriteZlib(path, data, workers, 65536 + 4097 * workers) == composed);
      EXPECT_TRUE(ReadZlib(path, false, workers, 1 << 20) == data);
    }
    const std::string swapped = dir.Write("swapped", Composed(data, kB, true));
    EXPECT_TRUE(ReadZlib(swapped, true, 2, 777777) == data);
  }
}

TEST(ZlibStreamTest, ReadsAcrossBlocksAndBackwards) {
  TempDir dir;
  const std::string data = Data(3 * kB + 5);
  const std::string path = dir.File("f");
  WriteZlib(path, data, 2);
  for (int workers : {0, 2}) {
    zcmpsFilestr z(OpenFile(path, "r"), workers);
    z.BeginReading(kStart, false);
    EXPECT_EQ(z.Size(), kStart + static_cast<int64_t>(data.size()));
    std::string buf(2 * kB, '\0');
    const struct {
      int64_t at;
      size_t n, want;
    } reads[] = {{kB - 10, 20, 20},      {2 * kB - 3, kB + 6, kB + 6}, {5, 100, 100},
                 {3 * kB, 100, 5},       {3 * kB + 5, 10, 0},         {0, 10, 10},
                 {-kStart, 10, 0},       {kB, 2 * kB, 2 * kB},         {2 * kB, 1, 1}};
    for (const auto& r : reads) {
      SCOPED_TRACE(r.at);
      ASSERT_EQ(z.Seek(kStart + r.at, 0), kStart + r.at);
      ASSERT_EQ(z.Read(buf.data(), r.n), r.want);
      if (r.at >= 0) {
        EXPECT_EQ(buf.compare(0, r.want, data, r.at, r.want), 0);
      }
    }
    EXPECT_EQ(z.Seek(-1, 0), -1);
  }
}

// Added to the end of a file (or after a shorter part of it), the file
// comes out as if written at once, also in the blocks of a file whose index
// gives a size below the largest.
TEST(ZlibStreamTest, AppendsAfterFullAndPartialLastBlocks) {
  TempDir dir;
  const struct {
    size_t first, end, added, block;
  } cases[] = {{0, 0, 1000, kB},          {kB, kB, 1000, kB},          {kB + 100, kB + 100, kB, kB},
               {kB + 10, kB + 10, 0, kB}, {2 * kB + 10, 2 * kB - 5, 50, kB},
               {2500, 2500, 100000, 1000}, {3000, 3000, 1500, 1000}, {2500, 1000, 10, 1000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.first << " " << c.end << " " << c.added << " "
                                      << c.block);
    const std::string data = Data(c.first);
    const std::string more = Data(c.added, 99);
    const std::string whole = Composed(data.substr(0, c.end) + more, c.block);
    for (int workers : {0, 2}) {
      const std::string path = dir.Write("a", Composed(data, c.block));
      {
        zcmpsFilestr z(OpenFile(path, "r+"), workers);
        z.BeginReading(kStart, false);
        z.ReopenForAppending(kStart + static_cast<int64_t>(c.end));
        WriteIn(z, more, 3001);
        z.Close();
      }
      EXPECT_TRUE(ReadFile(path) == whole) << workers;
    }
  }
}

// Damage to a file of three blocks: refused at BeginReading with the code
// given, or (at_open false) a read error when the data is read.
TEST(ZlibStreamTest, DamagedFilesAreRefusedOrEndInAReadError) {
  TempDir dir;
  const std::string data = Data(2 * kB + 1000);
  const std::string good = WriteZlib(dir.File("good"), data, 2);
  const size_t t = static_cast<size_t>(testing::ValueAt<int64_t>(good, kStart + 8));
  const size_t r1 = t + 24, r2 = t + 48;
  // Sets the 64-bit or 32-bit field at `at`, in this machine's byte order.
  auto set = [](size_t at, auto v) {
    return [=](std::string& f) { std::memcpy(f.data() + at, &v, sizeof v); };
  };
  const struct {
    const char* what;
    std::function<void(std::string&)> damage;
    bool at_open;
    long code = kErrBadStructure;
  } rows[] = {
      {"header offset", set(kStart, int64_t{kStart + 8}), true},
      {"trailer beyond the file", set(kStart + 8, int64_t{1ll << 40}), true},
      {"trailer before the blocks", set(kStart + 8, int64_t{kStart}), true},
      {"trailer length huge", set(kStart + 16, int64_t{1ll << 50}), true},
      {"trailer length odd", set(kStart + 16, int64_t{50}), true},
      {"no zlib header", [](std::string& f) { f.resize(kStart + 10); }, true, kErrTruncated},
      {"index cut", [&](std::string& f) { f.resize(f.size() - 24); }, true},
      {"descriptor", set(t, int64_t{-99}), true},
      {"block count", set(t + 20, int32_t{7}), true},
      {"block size 0", set(t + 16, int32_t{0}), true},
      {"block size huge", set(t + 16, int32_t{1 << 30}), true},
      {"logical gap", set(r2, int64_t{kStart + 5}), true},
      {"file gap", set(r2 + 8, int64_t{5000}), true},
      {"inflated size 0", set(r1 + 16, int32_t{0}), true},
      {"compressed size huge", set(r2 + 20, int32_t{1 << 30}), true},
      {"block ends inside the index", set(t + 24 * 3 + 20, int32_t{1 << 20}), true},
      {"inflates to more", set(t + 24 * 3 + 16, int32_t{999}), false},
      {"inflates to less", set(t + 24 * 3 + 16, int32_t{1001}), false},
      {"compressed size short", set(t + 24 * 3 + 20, int32_t{10}), false},
      {"compressed size 0", set(t + 24 * 3 + 20, int32_t{0}), true},
      {"damaged stream", [](std::string& f) { f[kStart + 24 + 5000] ^= 0x55; }, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::string bad = good;
    row.damage(bad);
    const std::string path = dir.Write("bad", bad);
    EXPECT_EQ(ErrorNumberOf([&] { ReadZlib(path, false, 2, 1 << 20); }), row.code);
    const long at_open =
        ErrorNumberOf([&] { zcmpsFilestr(OpenFile(path, "r"), 2).BeginReading(kStart, false); });
    EXPECT_EQ(at_open != 0, row.at_open);
  }
}

// Beyond the file size limit the workers' writes fail; the failure is
// raised to the caller at a later hand-off or at Close, never lost.
TEST(ZlibStreamTest, AWorkersFailureReachesTheCaller) {
  TempDir dir;
  const std::string data = Data(6 * kB, 3);
  for (int workers : {0, 1, 2}) {
    const testing::ScopedFileSizeLimit limit(kB);
    EXPECT_EQ(ErrorNumberOf([&] { WriteZlib(dir.File("full"), data, workers, kB / 3); }),
              kErrWriteFailed)
        << workers;
  }
}

}  // namespace
}  // namespace vexa
