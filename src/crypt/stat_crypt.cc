#include "crypt/stat_crypt.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "crypt/cipher.h"
#include "support/errors.h"
#include "support/file_magic.h"
#include "threads/run_pieces.h"

namespace vexa::crypt {
namespace {

// Plain bytes per piece, a whole number of blocks. The bytes of the file do
// not depend on it; a piece is large enough to keep the calls per byte few
// and small enough to stay in the cache between read, cipher and write.
constexpr int64_t kPieceBytes = 1 << 20;

// One thread's buffer (a piece and a block of padding) and cipher; the text
// it held is cleared when it goes.
struct Worker {
  Worker(const Key& key, BlockCipher::Direction direction, size_t piece)
      : buffer(piece + kBlockBytes), cipher(key, direction, false) {}
  ~Worker() { Cleanse(buffer.data(), buffer.size()); }
  std::vector<unsigned char> buffer;
  BlockCipher cipher;
};

// As many workers as threads, at most one a piece, each with room for a
// piece of at most `size` bytes.
std::vector<std::unique_ptr<Worker>> MakeWorkers(const Key& key, BlockCipher::Direction direction,
                                                 int threads, int64_t size) {
  std::vector<std::unique_ptr<Worker>> workers;
  const int64_t pieces = (size + kPieceBytes - 1) / kPieceBytes;
  const int64_t count = std::clamp<int64_t>(threads, 1, std::max<int64_t>(pieces, 1));
  const size_t piece = static_cast<size_t>(std::min(kPieceBytes, size));
  for (int64_t i = 0; i < count; ++i) {
    workers.push_back(std::make_unique<Worker>(key, direction, piece));
    if (!workers.back()->cipher.Ok()) return {};
  }
  return workers;
}

void ReadPiece(VEXA_File& file, unsigned char* buffer, size_t size, int64_t position) {
  if (file.ReadAt(buffer, size, position) != size) {
    throw ErrorText(kErrReadFailed, file.Path());  // the file shrank under us
  }
}

// Whether a decrypted last block ends in good padding; its length then.
size_t PaddingOf(const unsigned char* last_block) {
  const unsigned pad = last_block[kBlockBytes - 1];
  if (pad == 0 || pad > kBlockBytes) return 0;
  for (size_t i = kBlockBytes - pad; i < kBlockBytes; ++i) {
    if (last_block[i] != pad) return 0;
  }
  return pad;
}

// Whether a decrypted first block can begin a plain file.
bool StartsPlainFile(const unsigned char* first_block) {
  return magic::IsSystemFileMagic(reinterpret_cast<const char*>(first_block));
}

}  // namespace

int64_t StatCrypt::Encrypt(std::string_view password, VEXA_File& source,
                           VEXA_File& destination, int64_t at, int threads) {
  const int64_t size = source.FileSize();
  if (size == 0) return 0;
  Key key;
  if (!DeriveKey(password, key)) return 0;
  // The last piece holds the rest, perhaps nothing, and the padding.
  const int64_t pieces = size / kPieceBytes + 1;
  auto workers = MakeWorkers(key, BlockCipher::Direction::kEncrypt, threads, size);
  if (workers.empty()) return 0;
  std::atomic<bool> failed{false};
  RunPieces(pieces, static_cast<int>(workers.size()), [&](int64_t piece, int thread) {
    Worker& w = *workers[thread];
    const int64_t start = piece * kPieceBytes;
    const size_t n = static_cast<size_t>(std::min(kPieceBytes, size - start));
    ReadPiece(source, w.buffer.data(), n, start);
    size_t out = 0;
    if (piece + 1 < pieces) {
      if (!w.cipher.Update(w.buffer.data(), n, w.buffer.data(), &out)) failed = true;
    } else {
      BlockCipher last(key, BlockCipher::Direction::kEncrypt);
      size_t tail = 0;
      if (!last.Ok() || !last.Update(w.buffer.data(), n, w.buffer.data(), &out) ||
          !last.Final(w.buffer.data() + out, &tail)) {
        failed = true;
      }
      out += tail;
    }
    if (!failed) destination.WriteAt(w.buffer.data(), out, at + start);
  });
  return failed ? 0 : size;
}

int64_t StatCrypt::Decrypt(std::string_view password, VEXA_File& source, int64_t from,
                           VEXA_File& destination, int threads) {
  const int64_t size = source.FileSize() - from;
  if (size <= 0 || size % static_cast<int64_t>(kBlockBytes) != 0) return 0;
  Key key;
  if (!DeriveKey(password, key)) return 0;
  const int64_t pieces = (size + kPieceBytes - 1) / kPieceBytes;
  auto workers = MakeWorkers(key, BlockCipher::Direction::kDecrypt, threads, size);
  if (workers.empty()) return 0;
  // A wrong password shows in the first block already: stop before
  // decrypting the rest.
  {
    Worker& w = *workers[0];
    size_t out = 0;
    ReadPiece(source, w.buffer.data(), kBlockBytes, from);
    if (!w.cipher.Update(w.buffer.data(), kBlockBytes, w.buffer.data(), &out) ||
        !StartsPlainFile(w.buffer.data())) {
      return 0;
    }
  }
  std::atomic<bool> failed{false};
  unsigned char last_block[kBlockBytes];
  RunPieces(pieces, static_cast<int>(workers.size()), [&](int64_t piece, int thread) {
    Worker& w = *workers[thread];
    const int64_t start = piece * kPieceBytes;
    const size_t n = static_cast<size_t>(std::min(kPieceBytes, size - start));
    ReadPiece(source, w.buffer.data(), n, from + start);
    size_t out = 0;
    if (!w.cipher.Update(w.buffer.data(), n, w.buffer.data(), &out) || out != n) {
      failed = true;
      return;
    }
    if (piece + 1 == pieces) std::memcpy(last_block, w.buffer.data() + n - kBlockBytes, kBlockBytes);
    destination.WriteAt(w.buffer.data(), n, start);
  });
  const size_t pad = failed ? 0 : PaddingOf(last_block);
  Cleanse(last_block, sizeof last_block);
  if (pad == 0) return 0;
  destination.Truncate(size - static_cast<int64_t>(pad));
  return size - static_cast<int64_t>(pad);
}

}  // namespace vexa::crypt
