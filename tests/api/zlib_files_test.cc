// Zlib files through the C API: written, read, appended to and read back
// with one and with two workers; files of both byte orders (composed here,
// with small blocks that cut the byte code anywhere); damage that ends in a
// read error. (A worker's failed write is a row of the write-fault table.)
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "api/api_fixture.h"
#include "io/zlib_stream.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

constexpr int kVars = 3;

// Case n: n, n / 7 (mostly a literal) and, every fifth case, system-missing
// (a numeric of 3 slots cuts byte-code blocks at every case position).
double Value(int n, int v) {
  if (v == 0) return n;
  if (v == 1) return n / 7.0;
  return n % 5 == 0 ? -1.7976931348623157e308 : n % 100;
}

int Create(const std::string& path) {
  int h = -1;
  EXPECT_EQ(vexaOpenWrite(path.c_str(), &h), VEXA_OK);
  for (int v = 0; v < kVars; ++v) {
    EXPECT_EQ(vexaSetVarName(h, ("v" + std::to_string(v)).c_str(), 0), VEXA_OK);
  }
  EXPECT_EQ(vexaSetCompression(h, 2), VEXA_OK);
  return h;
}

int WriteCases(int h, int from, int to) {
  int code = VEXA_OK;
  for (int n = from; n < to && code == VEXA_OK; ++n) {
    double c[kVars];
    for (int v = 0; v < kVars; ++v) c[v] = Value(n, v);
    code = vexaWholeCaseOut(h, c);
  }
  return code;
}

// Reads every case, then case `back` again after a seek backwards.
void ExpectCases(const std::string& path, int count, int back) {
  int h = -1;
  ASSERT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
  int compression = 0, cases = 0;
  EXPECT_EQ(Each({vexaGetCompression(h, &compression), vexaGetNumberofCases(h, &cases)}),
            VEXA_OK);
  EXPECT_EQ(compression, 2);
  EXPECT_EQ(cases, count);
  double c[kVars];
  for (int n = 0; n < count; ++n) {
    ASSERT_EQ(vexaWholeCaseIn(h, c), VEXA_OK) << n;
    for (int v = 0; v < kVars; ++v) ASSERT_EQ(c[v], Value(n, v)) << n;
  }
  EXPECT_EQ(vexaWholeCaseIn(h, c), VEXA_W_END_OF_DATA);
  ASSERT_EQ(Each({vexaSeekNextCase(h, back), vexaWholeCaseIn(h, c)}), VEXA_OK);
  EXPECT_EQ(c[1], Value(back, 1));
  vexaCloseRead(h);
}

std::string AfterHeaderRecord(const std::string& path) { return ReadFile(path).substr(176); }

// 600,000 cases of 3 slots: about 3 blocks. Appended in two steps the file
// is the same as written at once (beyond the header record, whose time
// stamp may differ); every worker count writes the same bytes.
TEST(ZlibFilesTest, WrittenAppendedAndReadWithEveryWorkerCount) {
  TempDir dir;
  constexpr int kCases = 600'000;
  std::string first;
  for (int workers : {1, 2}) {
    SCOPED_TRACE(workers);
    zcmpsFilestr::SetWorkerCount(workers);
    const std::string whole = dir.File("whole"), parts = dir.File("parts");
    int h = Create(whole);
    ASSERT_EQ(Each({vexaCommitHeader(h), WriteCases(h, 0, kCases), vexaCloseWrite(h)}), VEXA_OK);
    ExpectCases(whole, kCases, 12345);
    long long blocks = 0, data = 0, compressed = 0;
    ASSERT_EQ(vexaOpenRead(whole.c_str(), &h), VEXA_OK);
    ASSERT_EQ(vexaGetZlibBlockInfo(h, &blocks, &data, &compressed), VEXA_OK);
    vexaCloseRead(h);
    EXPECT_EQ(blocks, (data + 4190207) / 4190208);
    EXPECT_GT(blocks, 2);
    EXPECT_LT(compressed, data);
    if (workers == 1) first = AfterHeaderRecord(whole);
    EXPECT_TRUE(AfterHeaderRecord(whole) == first);

    // The first append ends inside a block of byte code and of zlib data,
    // the second starts there; the last starts after a whole zlib block.
    const int steps[] = {0, 1001, 400'003, kCases};
    h = Create(parts);
    ASSERT_EQ(Each({vexaCommitHeader(h), WriteCases(h, 0, steps[1]), vexaCloseWrite(h)}), VEXA_OK);
    for (int s = 1; s + 1 < 4; ++s) {
      ASSERT_EQ(Each({vexaOpenAppend(parts.c_str(), &h), WriteCases(h, steps[s], steps[s + 1]),
                      vexaCloseAppend(h)}),
                VEXA_OK);
    }
    EXPECT_TRUE(AfterHeaderRecord(parts) == first);
    ExpectCases(parts, kCases, 7);
  }
  zcmpsFilestr::SetWorkerCount(-1);
}

// The dictionary `dict` and the byte code `data` in the zlib form, in the
// given byte order, with blocks of `block` bytes.
std::string ZlibForm(const std::string& dict, const std::string& data, bool big,
                     int block) {
  std::string out = dict, index;
  auto put = [big](std::string& s, int64_t v, int width) {
    char b[8];
    std::memcpy(b, &v, 8);
    if (big) std::reverse(b, b + width);
    s.append(b, static_cast<size_t>(width));
  };
  const int64_t start = static_cast<int64_t>(dict.size());
  out.append(24, '\0');
  int64_t count = 0;
  for (size_t at = 0; at < data.size(); at += static_cast<size_t>(block), ++count) {
    const size_t n = std::min(data.size() - at, static_cast<size_t>(block));
    std::string z(compressBound(n), '\0');
    uLongf zn = z.size();
    compress2(reinterpret_cast<Bytef*>(z.data()), &zn,
              reinterpret_cast<const Bytef*>(data.data() + at), n, 1);
    put(index, start + static_cast<int64_t>(at), 8);
    put(index, static_cast<int64_t>(out.size()), 8);
    put(index, static_cast<int64_t>(n), 4);
    put(index, static_cast<int64_t>(zn), 4);
    out.append(z, 0, zn);
  }
  std::string header, descriptor;
  put(header, start, 8);
  put(header, static_cast<int64_t>(out.size()), 8);
  put(header, (count + 1) * 24, 8);
  out.replace(static_cast<size_t>(start), 24, header);
  put(descriptor, -100, 8);
  put(descriptor, 0, 8);
  put(descriptor, block, 4);
  put(descriptor, count, 4);
  return out + descriptor + index;
}

TEST(ZlibFilesTest, FilesOfBothByteOrdersAndAnyBlockSizeAreRead) {
  TempDir dir;
  for (bool big : {false, true}) {
    for (int block : {4190208, 4096, 37}) {
      SCOPED_TRACE(::testing::Message() << big << " " << block);
      SysFileBuilder b(big);
      b.Header({.magic = "$FL3", .compression = 2, .case_count = 5000});
      for (int v = 0; v < kVars; ++v) b.NumericVar("v" + std::to_string(v));
      b.End();
      const size_t start = b.Offset();
      std::vector<std::vector<CaseSlot>> cases;
      for (int n = 0; n < 5000; ++n) {
        cases.push_back({CaseSlot::Number(Value(n, 0)), CaseSlot::Number(Value(n, 1)),
                         CaseSlot::Number(Value(n, 2))});
      }
      const std::string bytes = b.CompressedCases(cases).Bytes();
      const std::string path = dir.Write(
          "f", ZlibForm(bytes.substr(0, start), bytes.substr(start), big, block));
      ExpectCases(path, 5000, 4321);
    }
  }
}

// A damaged block is found when it is read: the read gives the read error,
// the cases before it (in the reader's first megabyte) were delivered.
TEST(ZlibFilesTest, ADamagedBlockEndsInAReadError) {
  TempDir dir;
  SysFileBuilder b;
  b.Header({.magic = "$FL3", .compression = 2}).NumericVar("v0").End();
  const size_t start = b.Offset();
  std::vector<std::vector<CaseSlot>> cases(400'000, {CaseSlot::Number(1234.5)});
  const std::string bytes = b.CompressedCases(cases).Bytes();
  std::string file = ZlibForm(bytes.substr(0, start), bytes.substr(start), false, 8192);
  int64_t trailer;
  std::memcpy(&trailer, file.data() + start + 8, 8);
  file[(start + 24 + static_cast<size_t>(trailer)) / 2] ^= 0x21;
  const std::string path = dir.Write("f", file);
  int h = -1, code, read = 0;
  ASSERT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
  while ((code = vexaReadCaseRecord(h)) == VEXA_OK) ++read;
  EXPECT_EQ(code, VEXA_E_FILE_READ);
  EXPECT_GT(read, 0);
  EXPECT_EQ(vexaCloseRead(h), VEXA_OK);
}

}  // namespace
}  // namespace vexa::testing
