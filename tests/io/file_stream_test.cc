#include "io/file_stream.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "support/errors.h"
#include "support/temp_dir.h"

namespace vexa {
namespace {

using testing::TempDir;

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) % 251);
  return s;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class FileStreamTest : public ::testing::TestWithParam<size_t> {
 protected:
  size_t BufferSize() const { return GetParam(); }
  TempDir dir_;
};

// Sequential reads of many request sizes against small buffers cross every
// kind of buffer edge and use the bypass for requests of a buffer or more.
TEST_P(FileStreamTest, SequentialReadsDeliverTheFileWhateverTheChunkSize) {
  const std::string content = Pattern(3 * BufferSize() + 777);
  std::string path = dir_.Write("data.vexa", content);
  for (size_t chunk : {size_t{1}, size_t{7}, size_t{511}, size_t{513},
                       BufferSize() - 1, BufferSize(), 2 * BufferSize() + 3}) {
    VEXA_FileStream s(BufferSize());
    ASSERT_TRUE(s.Open(path, "r"));
    std::string got;
    std::string buf(chunk, '\0');
    size_t n;
    while ((n = s.Read(buf.data(), chunk)) > 0) got.append(buf, 0, n);
    EXPECT_EQ(got, content) << "chunk " << chunk;
    EXPECT_TRUE(s.Eof());
    EXPECT_EQ(s.Tell(), static_cast<int64_t>(content.size()));
  }
}

// Random reads, writes and seeks, with buffering turned off and on again
// along the way, compared with a string that models the file; flushing and
// reopening must give the same bytes.
TEST_P(FileStreamTest, RandomOperationsMatchAModel) {
  constexpr unsigned kSeed = 20240314;
  std::mt19937 rng(kSeed);
  std::string model = Pattern(2 * BufferSize() + 100);
  std::string path = dir_.Write("rw.vexa", model);
  VEXA_FileStream s(BufferSize());
  ASSERT_TRUE(s.Open(path, "+"));
  int64_t pos = 0;
  for (int op = 0; op < 400; ++op) {
    SCOPED_TRACE(::testing::Message() << "seed " << kSeed << " op " << op);
    size_t len = rng() % (BufferSize() + BufferSize() / 2);
    if (op % 40 == 39) s.SetBuffered(op % 80 == 79);
    switch (rng() % 3) {
      case 0: {
        pos = static_cast<int64_t>(rng() % (model.size() + 10));
        ASSERT_EQ(s.Seek(pos, 0), pos);
        break;
      }
      case 1: {
        std::string buf(len, '\0');
        size_t n = s.Read(buf.data(), len);
        size_t expect = pos >= static_cast<int64_t>(model.size())
                            ? 0
                            : std::min(len, model.size() - pos);
        ASSERT_EQ(n, expect);
        ASSERT_EQ(buf.substr(0, n), model.substr(std::min<size_t>(pos, model.size()), n));
        pos += static_cast<int64_t>(n);
        break;
      }
      default: {
        if (pos > static_cast<int64_t>(model.size())) {
          pos = static_cast<int64_t>(model.size());
          s.Seek(pos, 0);
        }
        std::string data(len, static_cast<char>('a' + op % 26));
        ASSERT_EQ(s.Write(data.data(), len), len);
        if (pos + len > model.size()) model.resize(pos + len);
        model.replace(pos, len, data);
        pos += static_cast<int64_t>(len);
      }
    }
    ASSERT_EQ(s.Tell(), pos);
    ASSERT_EQ(s.Size(), static_cast<int64_t>(model.size()));
  }
  s.Close();
  EXPECT_EQ(Slurp(path), model);
}

INSTANTIATE_TEST_SUITE_P(SmallBuffers, FileStreamTest,
                         ::testing::Values(512, 1024, 4096));

class FileStreamEdgeTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(FileStreamEdgeTest, ReadRefillsFromThePositionRoundedDownTo512) {
  const std::string content = Pattern(5000);
  VEXA_FileStream s(4096);
  ASSERT_TRUE(s.Open(dir_.Write("a.vexa", content), "r"));
  ASSERT_EQ(s.Seek(1000, 0), 1000);
  char buf[10];
  ASSERT_EQ(s.Read(buf, 10), 10u);
  EXPECT_EQ(std::string(buf, 10), content.substr(1000, 10));
  EXPECT_EQ(s.BufferStart(), 512);
}

TEST_F(FileStreamEdgeTest, WritesStayInTheBufferAndCountInTheSize) {
  std::string path = dir_.Write("w.vexa", std::string(10, 'a'));
  VEXA_FileStream s(1024);
  ASSERT_TRUE(s.Open(path, "+"));
  s.Seek(0, 2);
  s.Write("bbbbb", 5);
  EXPECT_EQ(s.Seek(-3, 2), 12);
  EXPECT_EQ(s.Size(), 15);
  EXPECT_EQ(s.Seek(-2, 1), 10);
  s.Write("0123456789", 10);
  EXPECT_EQ(Slurp(path), std::string(10, 'a'));
  s.Flush();
  EXPECT_EQ(Slurp(path), std::string(10, 'a') + "0123456789");
}

TEST_F(FileStreamEdgeTest, ReadBeyondTheEndAndAFailedOpenGiveNothing) {
  VEXA_FileStream s(512);
  ASSERT_TRUE(s.Open(dir_.Write("s.vexa", "short"), "r"));
  ASSERT_EQ(s.Seek(100, 0), 100);
  char buf[4];
  EXPECT_EQ(s.Read(buf, 4), 0u);
  EXPECT_TRUE(s.Eof());
  s.Seek(0, 0);
  EXPECT_FALSE(s.Eof());
  EXPECT_EQ(s.Read(buf, 4), 4u);

  VEXA_FileStream failed(512);
  EXPECT_FALSE(failed.Open(dir_.File("missing.vexa"), "r"));
  EXPECT_EQ(failed.Read(buf, 4), 0u);
  EXPECT_EQ(failed.Write(buf, 4), 0u);
  EXPECT_EQ(failed.Seek(0, 0), -1);
}

TEST_F(FileStreamEdgeTest, ModesTruncateAppendOrKeep) {
  std::string path = dir_.Write("m.vexa", "abc");
  {
    VEXA_FileStream s(512);
    ASSERT_TRUE(s.Open(path, "a"));
    EXPECT_EQ(s.Tell(), 3);
    s.Write("de", 2);
  }
  EXPECT_EQ(Slurp(path), "abcde");
  {
    VEXA_FileStream s(512);
    ASSERT_TRUE(s.Open(path, "+"));
    s.Write("X", 1);
  }
  EXPECT_EQ(Slurp(path), "Xbcde");
  {
    VEXA_FileStream s(512);
    ASSERT_TRUE(s.Open(path, "w"));
  }
  EXPECT_EQ(Slurp(path), "");
  VEXA_FileStream s(512);
  EXPECT_FALSE(s.Open(path, "q"));
}

TEST_F(FileStreamEdgeTest, ReadingAWriteOnlyFileRaisesTheReadError) {
  std::string path = dir_.Write("wo.vexa", "abcdef");
  VEXA_FileStream s(512);
  ASSERT_TRUE(s.Open(path, "a"));
  s.Seek(0, 0);
  char buf[4];
  try {
    s.Read(buf, 4);
    FAIL() << "no error";
  } catch (const ErrorText& e) {
    EXPECT_EQ(e.number(), kErrReadFailed);
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
  }
}

TEST_F(FileStreamEdgeTest, DeleteOnCloseModeRemovesTheFile) {
  std::string path = dir_.File("tmp.vexa");
  {
    VEXA_FileStream s(512);
    ASSERT_TRUE(s.Open(path, "w+D"));
    s.Write("x", 1);
    s.Flush();
    EXPECT_TRUE(FileReadable(path));
  }
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(RemoveFile(path));
}

}  // namespace
}  // namespace vexa
