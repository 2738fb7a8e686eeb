// The zlib stream: round trips at the block boundaries with every worker
// count (the same file bytes from each), reads across blocks and backwards,
// appends after full and partial last blocks, the other byte order, damaged
// files, and a worker's failure reaching the caller.
#include "io/zlib_stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "io/file_stream.h"
#include "support/errors.h"
#include "support/sysfile_builder.h"  // ValueAt
#include "support/temp_dir.h"

namespace vexa {
namespace {

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

constexpr auto I64 = &testing::ValueAt<int64_t>;
constexpr auto I32 = &testing::ValueAt<int32_t>;

// Header, blocks of kB bytes each one level-1 zlib stream, the index last.
void ExpectLayout(const std::string& file, const std::string& data) {
  const size_t count = (data.size() + kB - 1) / kB;
  ASSERT_EQ(I64(file, kStart), kStart);
  const int64_t trailer = I64(file, kStart + 8);
  ASSERT_EQ(I64(file, kStart + 16), static_cast<int64_t>((count + 1) * 24));
  ASSERT_EQ(trailer + I64(file, kStart + 16), static_cast<int64_t>(file.size()));
  const size_t t = static_cast<size_t>(trailer);
  EXPECT_EQ(I64(file, t), -100);
  EXPECT_EQ(I32(file, t + 16), static_cast<int32_t>(kB));
  EXPECT_EQ(I32(file, t + 20), static_cast<int32_t>(count));
  int64_t physical = kStart + 24;
  for (size_t i = 0; i < count; ++i) {
    const size_t r = t + 24 * (i + 1);
    const size_t size = std::min(kB, data.size() - i * kB);
    EXPECT_EQ(I64(file, r), kStart + static_cast<int64_t>(i * kB));
    EXPECT_EQ(I64(file, r + 8), physical);
    EXPECT_EQ(I32(file, r + 16), static_cast<int32_t>(size));
    if (i == 0) {
      std::string z(compressBound(size), '\0');
      uLongf n = z.size();
      ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(z.data()), &n,
                          reinterpret_cast<const Bytef*>(data.data()), size, 1), Z_OK);
      EXPECT_EQ(file.compare(static_cast<size_t>(physical), n, z, 0, n), 0);
    }
    physical += I32(file, r + 20);
  }
  EXPECT_EQ(physical, trailer);
}

// Reverses the zlib header's and the index's fields, as a machine of the
// other byte order writes them.
std::string Swapped(std::string file) {
  auto reverse = [&](size_t at, size_t width) {
    std::reverse(file.begin() + static_cast<long>(at),
                 file.begin() + static_cast<long>(at + width));
  };
  const size_t t = static_cast<size_t>(I64(file, kStart + 8));
  const size_t records = static_cast<size_t>(I64(file, kStart + 16)) / 24;
  for (size_t f = 0; f < 3; ++f) reverse(kStart + 8 * f, 8);
  for (size_t r = 0; r < records; ++r) {
    for (auto [at, width] : {std::pair{0, 8}, {8, 8}, {16, 4}, {20, 4}}) {
      reverse(t + 24 * r + at, width);
    }
  }
  return file;
}

TEST(ZlibStreamTest, RoundTripsAtBlockBoundariesInBothByteOrders) {
  TempDir dir;
  for (size_t size : {size_t{0}, size_t{1}, kB - 1, kB, kB + 1, 2 * kB + 12345}) {
    SCOPED_TRACE(size);
    const std::string data = Data(size);
    std::string first;
    for (int workers : {0, 1, 2}) {
      SCOPED_TRACE(workers);
      const std::string path = dir.File("w" + std::to_string(workers));
      const std::string file = WriteZlib(path, data, workers, 65536 + 4097 * workers);
      if (workers == 0) {
        first = file;
        ExpectLayout(file, data);
      } else {
        EXPECT_TRUE(file == first) << "the bytes differ from one worker's";
      }
      EXPECT_TRUE(ReadZlib(path, false, workers, 1 << 20) == data);
    }
    const std::string swapped = dir.Write("swapped", Swapped(first));
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
                 {-kStart, 10, 0},       {kB, 2 * kB, 2 * kB}};
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
// comes out as if written at once.
TEST(ZlibStreamTest, AppendsAfterFullAndPartialLastBlocks) {
  TempDir dir;
  const struct {
    size_t first, end, added;
  } cases[] = {{0, 0, 1000},                 {kB, kB, 1000},
               {kB + 100, kB + 100, kB},     {2 * kB + 10, 2 * kB - 5, 50},
               {kB + 10, kB + 10, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.first << " " << c.end << " " << c.added);
    const std::string data = Data(c.first);
    const std::string more = Data(c.added, 99);
    const std::string whole = WriteZlib(dir.File("whole"), data.substr(0, c.end) + more, 1);
    for (int workers : {0, 2}) {
      const std::string path = dir.File("a");
      WriteZlib(path, data, workers);
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
  const size_t t = static_cast<size_t>(I64(good, kStart + 8));
  const size_t r1 = t + 24, r2 = t + 48;
  auto set64 = [](size_t at, int64_t v) {
    return [=](std::string& f) { std::memcpy(f.data() + at, &v, 8); };
  };
  auto set32 = [](size_t at, int32_t v) {
    return [=](std::string& f) { std::memcpy(f.data() + at, &v, 4); };
  };
  const struct {
    const char* what;
    std::function<void(std::string&)> damage;
    long code;
    bool at_open;
  } rows[] = {
      {"header offset", set64(kStart, kStart + 8), kErrBadStructure, true},
      {"trailer beyond the file", set64(kStart + 8, 1ll << 40), kErrBadStructure, true},
      {"trailer before the blocks", set64(kStart + 8, kStart), kErrBadStructure, true},
      {"trailer length huge", set64(kStart + 16, 1ll << 50), kErrBadStructure, true},
      {"trailer length odd", set64(kStart + 16, 50), kErrBadStructure, true},
      {"no zlib header", [](std::string& f) { f.resize(kStart + 10); }, kErrTruncated, true},
      {"index cut", [&](std::string& f) { f.resize(f.size() - 24); }, kErrBadStructure, true},
      {"descriptor", set64(t, -99), kErrBadStructure, true},
      {"block count", set32(t + 20, 7), kErrBadStructure, true},
      {"block size 0", set32(t + 16, 0), kErrBadStructure, true},
      {"block size huge", set32(t + 16, 1 << 30), kErrBadStructure, true},
      {"logical gap", set64(r2, kStart + 5), kErrBadStructure, true},
      {"file gap", set64(r2 + 8, 5000), kErrBadStructure, true},
      {"inflated size 0", set32(r1 + 16, 0), kErrBadStructure, true},
      {"compressed size huge", set32(r2 + 20, 1 << 30), kErrBadStructure, true},
      {"block ends inside the index", set32(t + 24 * 3 + 20, 1 << 20), kErrBadStructure, true},
      {"inflates to more", set32(t + 24 * 3 + 16, 999), kErrBadStructure, false},
      {"inflates to less", set32(t + 24 * 3 + 16, 1001), kErrBadStructure, false},
      {"compressed size short", set32(t + 24 * 3 + 20, 10), kErrBadStructure, false},
      {"damaged stream", [](std::string& f) { f[kStart + 24 + 5000] ^= 0x55; },
       kErrBadStructure, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::string bad = good;
    row.damage(bad);
    const std::string path = dir.Write("bad", bad);
    long code = 0;
    bool at_open = true;
    try {
      zcmpsFilestr z(OpenFile(path, "r"), 2);
      z.BeginReading(kStart, false);
      at_open = false;
      std::string buf(1 << 20, '\0');
      while (z.Read(buf.data(), buf.size()) > 0) {
      }
    } catch (const SystemFileException& e) {
      code = e.number();
    }
    EXPECT_EQ(code, row.code);
    EXPECT_EQ(at_open, row.at_open);
  }
}

// Beyond the file size limit the workers' writes fail; the failure is
// raised to the caller at a later hand-off or at Close, never lost.
TEST(ZlibStreamTest, AWorkersFailureReachesTheCaller) {
  TempDir dir;
  const std::string data = Data(6 * kB, 3);
  for (int workers : {0, 1, 2}) {
    SCOPED_TRACE(workers);
    long code = 0;
    const testing::ScopedFileSizeLimit limit(kB);
    try {
      RefPtr<VEXA_File> f = OpenFile(dir.File("full"), "w+");
      zcmpsFilestr z(f, workers);
      z.BeginWriting(0);
      WriteIn(z, data, kB / 3);
      z.Close();
    } catch (const ErrorText& e) {
      code = e.number();
    }
    EXPECT_EQ(code, kErrWriteFailed);
  }
}

}  // namespace
}  // namespace vexa
