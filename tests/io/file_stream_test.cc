// The buffered file stream: reads of every size against small buffers, random
// reads, writes (also in room the stream lends) and seeks against a model of
// the file, plain and seen through a block transform, and the edges: refill
// positions, the end of the file, open modes and failures.
#include "io/file_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <tuple>

#include "support/open_bytes.h"  // ErrorNumberOf
#include "support/temp_dir.h"

namespace vexa {
namespace {

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) % 251);
  return s;
}

// Stores each byte flipped after a header of 5 bytes, and counts the bytes
// it is asked to wipe.
struct FlipTransform : BlockTransform {
  int64_t HeaderBytes() const override { return 5; }
  bool Encode(const unsigned char* in, unsigned char* out, size_t size) override {
    for (size_t i = 0; i < size; ++i) out[i] = in[i] ^ 0x5A;
    return size % kTransformBlock == 0;
  }
  bool Decode(const unsigned char* in, unsigned char* out, size_t size) override {
    return Encode(in, out, size);
  }
  void Wipe(void* data, size_t size) const override {
    std::memset(data, 0, size);
    wiped += size;
  }
  mutable std::atomic<size_t> wiped{0};
};

// The stored form of plain bytes: the header, then the bytes with their
// padding, flipped.
std::string Stored(std::string plain) {
  plain.append(kTransformBlock - plain.size() % kTransformBlock,
               static_cast<char>(kTransformBlock - plain.size() % kTransformBlock));
  for (char& c : plain) c = static_cast<char>(c ^ 0x5A);
  return "HEAD!" + plain;
}

class FileStreamTest : public ::testing::TestWithParam<std::tuple<size_t, bool>> {};

// Sequential reads of many request sizes cross every kind of buffer edge and
// use the bypass for requests of a buffer or more. Then random reads, writes
// and seeks, with buffering turned off and on again along the way, compared
// with a string that models the file; closing must leave its bytes on disk.
// Through a transform all of it speaks plain positions, and the buffers
// that held plain bytes are wiped when they go.
TEST_P(FileStreamTest, ReadsAndRandomOperationsMatchTheFile) {
  // Not a structured binding: the lambdas below capture them.
  const size_t size = std::get<0>(GetParam());
  const bool transformed = std::get<1>(GetParam());
  testing::TempDir dir;
  std::string model = Pattern(3 * size + 777);
  const std::string path = dir.Write("data.vexa", transformed ? Stored(model) : model);
  auto flip = std::make_shared<FlipTransform>();
  const auto open = [&](VEXA_FileStream& s, const char* mode) {
    return s.Open(path, mode) && (!transformed || s.SeeThrough(flip, false));
  };
  for (size_t chunk : {size_t{1}, size_t{7}, size_t{511}, size_t{513}, size - 1, size,
                       2 * size + 3}) {
    VEXA_FileStream s(size);
    ASSERT_TRUE(open(s, "r"));
    std::string got, buf(chunk, '\0');
    for (size_t n; (n = s.Read(buf.data(), chunk)) > 0;) got.append(buf, 0, n);
    EXPECT_EQ(got, model) << "chunk " << chunk;
    EXPECT_TRUE(s.Eof());
  }

  constexpr unsigned kSeed = 20240314;
  std::mt19937 rng(kSeed);
  VEXA_FileStream s(size);
  ASSERT_TRUE(open(s, "+"));
  // The larger buffers are written behind the caller by a worker.
  if (size > 512) s.EnableWriteBehind();
  size_t pos = 0;
  bool buffered = true;
  for (int op = 0; op < 400; ++op) {
    SCOPED_TRACE(::testing::Message() << "seed " << kSeed << " op " << op);
    const size_t len = rng() % (size + size / 2), kind = rng() % 4;
    if (op % 40 == 39) s.SetBuffered(buffered = op % 80 == 79);
    if (kind == 0) {  // from the start, the position or the end
      const int whence = static_cast<int>(rng() % 3);
      const size_t from = whence == 0 ? 0 : whence == 1 ? pos : model.size();
      pos = rng() % (model.size() + 10);
      ASSERT_EQ(s.Seek(static_cast<int64_t>(pos - from), whence), static_cast<int64_t>(pos));
    } else if (kind == 1) {
      std::string buf(len, '\0');
      const size_t n = s.Read(buf.data(), len);
      ASSERT_EQ(n, pos >= model.size() ? 0 : std::min(len, model.size() - pos));
      ASSERT_EQ(buf.substr(0, n), model.substr(std::min(pos, model.size()), n));
      pos += n;
    } else {
      if (pos > model.size()) s.Seek(pos = model.size(), 0);
      const std::string data(len, static_cast<char>('a' + op % 26));
      // Written, or built in the room a buffered stream lends, up to its end.
      size_t room = 0, n = len;
      char* const space = kind == 3 ? s.WriteSpace(std::min(len, size), &room) : nullptr;
      ASSERT_EQ(space != nullptr, kind == 3 && buffered);
      if (space) {
        ASSERT_GE(room, std::min(len, size));
        std::memcpy(space, data.data(), n = std::min(len, room));
        s.CommitSpace(n);
      } else {
        ASSERT_EQ(s.Write(data.data(), len), len);
      }
      model.resize(std::max(model.size(), pos + n));
      model.replace(pos, n, data, 0, n);
      pos += n;
    }
    ASSERT_EQ(s.Tell(), static_cast<int64_t>(pos));
    ASSERT_EQ(s.Size(), static_cast<int64_t>(model.size()));
  }
  const size_t wiped = flip->wiped;
  s.Close();
  EXPECT_EQ(testing::ReadFile(path), transformed ? Stored(model) : model);
  EXPECT_GE(flip->wiped - wiped, transformed ? size : 0);
}

INSTANTIATE_TEST_SUITE_P(SmallBuffers, FileStreamTest,
                         ::testing::Combine(::testing::Values(512, 1024, 4096),
                                            ::testing::Bool()));

// A read past the end gives nothing and sets the end flag, which a seek
// clears. Reading a file opened for appending raises the read error; a stream
// whose open failed reads and writes nothing and cannot seek; a file opened
// with "D" is removed when its stream goes away. "a" starts at the end, "+"
// keeps the bytes and starts at the start, "w" truncates; writes stay in the
// buffer, counted in the size, until a flush.
TEST(FileStreamEdgeTest, EdgesModesAndFailures) {
  testing::TempDir dir;
  const std::string content = Pattern(5000), path = dir.Write("a.vexa", content);
  VEXA_FileStream s(4096);
  ASSERT_TRUE(s.Open(path, "r"));
  char buf[10];
  ASSERT_EQ(s.Seek(6000, 0), 6000);
  EXPECT_EQ(s.Read(buf, 4), 0u);
  EXPECT_TRUE(s.Eof());
  EXPECT_TRUE(s.Seek(0, 0) == 0 && !s.Eof());
  EXPECT_EQ(s.Read(buf, 4), 4u);
  VEXA_File file;  // the positional reads beneath: a short read sets the flag
  ASSERT_TRUE(file.Open(path, "r"));
  EXPECT_TRUE(file.ReadAt(buf, 10, 4990) == 10 && !file.Eof());
  EXPECT_TRUE(file.ReadAt(buf, 10, 4995) == 5 && file.Eof());

  VEXA_FileStream append_only(512);
  ASSERT_TRUE(append_only.Open(path, "a"));
  append_only.Seek(0, 0);
  EXPECT_EQ(testing::ErrorNumberOf([&] { append_only.Read(buf, 4); }), kErrReadFailed);
  VEXA_FileStream failed(512);
  EXPECT_FALSE(failed.Open(dir.File("missing.vexa"), "r"));
  EXPECT_EQ(failed.Read(buf, 4) + failed.Write(buf, 4), 0u);
  EXPECT_EQ(failed.Seek(0, 0), -1);
  EXPECT_FALSE(failed.Open(path, "q"));  // no such mode
  auto temp = std::make_unique<VEXA_FileStream>(512);
  ASSERT_TRUE(temp->Open(dir.File("tmp.vexa"), "w+D"));
  EXPECT_EQ(temp->Write("x", 1), 1u);  // left in the buffer
  EXPECT_TRUE(FileExists(dir.File("tmp.vexa")));
  temp.reset();
  EXPECT_FALSE(FileExists(dir.File("tmp.vexa")));

  const std::string modes = dir.Write("w.vexa", "abc");
  VEXA_FileStream w(512);
  ASSERT_TRUE(w.Open(modes, "a"));
  EXPECT_EQ(w.Tell(), 3);
  w.Write("de", 2);
  w.Close();
  ASSERT_TRUE(w.Open(modes, "+"));
  w.Write("X", 1);
  EXPECT_EQ(testing::ReadFile(modes), "abcde");
  w.Flush();
  EXPECT_EQ(testing::ReadFile(modes), "Xbcde");
  EXPECT_TRUE(VEXA_FileStream(512).Open(modes, "w"));
  EXPECT_EQ(testing::ReadFile(modes), "");
}

}  // namespace
}  // namespace vexa
