// The byte-code compression of case data: a pure codec with no I/O.
//
// Compressed case data is a sequence of command blocks:
//   0   8 control bytes, one per code, used in order
//   8   8 x k literal slots, one per control byte 253 (counted up to and
//       including the first control byte 252), in the order of those bytes
// so a block is 8 to 72 bytes long. Control bytes:
//   0        filler, no value
//   1..251   the number code - 100 (-99.0 .. 151.0) as a float64
//   252      the rest of this block's control bytes is unused
//   253      the block's next literal slot, 8 bytes as stored
//   254      eight spaces
//   255      the system-missing value
// Slot values run on across block boundaries: a case may start in the
// middle of one block and end in another.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace vexa {

constexpr int kKeySize = 8;            // control bytes per block
constexpr size_t kMaxBlockSize = 72;   // 8 control bytes + 8 literals
constexpr int kByteCodeBias = 100;
constexpr uint8_t kCodeFiller = 0;
constexpr uint8_t kCodeEndOfBlock = 252;
constexpr uint8_t kCodeLiteral = 253;
constexpr uint8_t kCodeSpaces = 254;
constexpr uint8_t kCodeSysmis = 255;
constexpr uint64_t kSysmisBits = 0xFFEFFFFFFFFFFFFFull;
constexpr uint64_t kSpacesBits = 0x2020202020202020ull;

namespace bytecode_internal {

struct DecodeTable {
  uint64_t bits[256];
};

constexpr DecodeTable MakeDecodeTable() {
  DecodeTable t{};
  for (int c = 1; c <= 251; ++c) {
    t.bits[c] = std::bit_cast<uint64_t>(static_cast<double>(c - kByteCodeBias));
  }
  t.bits[kCodeSpaces] = kSpacesBits;
  t.bits[kCodeSysmis] = kSysmisBits;
  return t;
}

}  // namespace bytecode_internal

// The slot value (as host-order bits) that each code produces; 0 for the
// codes 0, 252 and 253, which produce no fixed value.
inline constexpr bytecode_internal::DecodeTable kByteCodeValues =
    bytecode_internal::MakeDecodeTable();

// The control byte for one slot value given as its 8 bytes read in host
// order: 255 system-missing, 254 eight spaces, 1..251 for an integral
// float64 in -99..151 (+0.0 included, -0.0 not), else 253 (a literal).
// Without a branch on the value: a value clamped to -100..152 (NaN to -100)
// converts to an integer safely, and the integer gives the value's bits
// back only when the value is that integer (not -0.0).
inline uint8_t EncodeSlot(uint64_t bits) {
  const double v = std::bit_cast<double>(bits);
  double clamped = v > -100.0 ? v : -100.0;
  clamped = clamped < 152.0 ? clamped : 152.0;
  const int n = static_cast<int>(clamped);
  const bool integral = std::bit_cast<uint64_t>(static_cast<double>(n)) == bits;
  uint8_t code = integral && n >= -99 && n <= 151
                     ? static_cast<uint8_t>(n + kByteCodeBias)
                     : kCodeLiteral;
  code = bits == kSysmisBits ? kCodeSysmis : code;
  code = bits == kSpacesBits ? kCodeSpaces : code;
  return code;
}

// Number of literal slots that follow these 8 control bytes: the 253s up
// to the first 252.
namespace bytecode_internal {

// The eight control bytes as one word, the first in the low byte.
inline uint64_t ControlWord(const uint8_t* control) {
  uint64_t x;
  std::memcpy(&x, control, 8);
  return x;
}

// A marker bit (the high bit) for each byte of x that equals `code`.
inline uint64_t Marks(uint64_t x, uint8_t code) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const uint64_t v = x ^ (0x0101010101010101ull * code);
  return ~(((v & kLow7) + kLow7) | v | kLow7);
}

}  // namespace bytecode_internal

inline int CountLiterals(const uint8_t* control) {
  using namespace bytecode_internal;
  if constexpr (std::endian::native == std::endian::little) {
    // All eight at once: the 253s, less those from the first 252 on.
    const uint64_t x = ControlWord(control);
    uint64_t literals = Marks(x, kCodeLiteral);
    const uint64_t ends = Marks(x, kCodeEndOfBlock);
    if (ends != 0) literals &= (ends & (~ends + 1)) - 1;
    // One bit per byte, summed into the top byte by the multiplication (no
    // population-count instruction in the baseline instruction set).
    return static_cast<int>(((literals >> 7) * 0x0101010101010101ull) >> 56);
  } else {
    int count = 0;
    for (int i = 0; i < kKeySize; ++i) {
      if (control[i] == kCodeEndOfBlock) break;
      count += control[i] == kCodeLiteral;
    }
    return count;
  }
}

// Whether all eight control bytes give a value: none is a filler (0) or
// the end of the data (252).
inline bool EightValues(const uint8_t* control) {
  using namespace bytecode_internal;
  const uint64_t x = ControlWord(control);
  return (Marks(x, kCodeFiller) | Marks(x, kCodeEndOfBlock)) == 0;
}

// The decoding state inside one block whose bytes are in memory.
struct ByteCodeBlock {
  const uint8_t* control = nullptr;
  const char* literal = nullptr;  // the next literal slot
  int index = kKeySize;           // next control byte; 8 = block used up
};

// Decodes values of the block into out slots [produced, want); returns the
// new produced count. Stops when the block is used up. With kSwap, `swap`
// marks (1) the slots that hold numerics of a file of the other byte order:
// their literals are reversed, while the fixed values of the other slots are
// reversed back to the bytes the file's writer compressed (the bytes of a
// text slot keep their order).
template <bool kSwap>
inline size_t DecodeFromBlock(ByteCodeBlock& b, char* out, size_t produced,
                              size_t want, const uint8_t* swap) {
  int i = b.index;
  const uint8_t* control = b.control;
  while (i < kKeySize && produced < want) {
    const uint8_t c = control[i++];
    uint64_t v;
    if (c == kCodeLiteral) {
      std::memcpy(&v, b.literal, 8);
      b.literal += 8;
      if constexpr (kSwap) {
        if (swap[produced]) v = __builtin_bswap64(v);
      }
    } else if (c != kCodeFiller && c != kCodeEndOfBlock) {
      v = kByteCodeValues.bits[c];
      if constexpr (kSwap) {
        if (!swap[produced]) v = __builtin_bswap64(v);
      }
    } else {
      if (c == kCodeEndOfBlock) i = kKeySize;
      continue;
    }
    std::memcpy(out + produced * 8, &v, 8);
    ++produced;
  }
  b.index = i;
  return produced;
}

// A whole block of eight values (EightValues) of a file of this machine's
// byte order into out; returns the next literal, which is also where the
// next block starts.
inline const char* DecodeEight(const uint8_t* control, const char* literal, char* out) {
  // A branch for each literal, kept one (the empty asm stops the compiler
  // from turning it into a conditional move): the processor then guesses
  // where the next block starts and decodes on, where a computed length
  // would make every block wait for the one before it. A wrong guess costs
  // about what the wait costs on every block.
  for (int k = 0; k < kKeySize; ++k) {
    const uint8_t c = control[k];
    uint64_t v;
    if (c == kCodeLiteral) {
      std::memcpy(&v, literal, 8);
      literal += 8;
      __asm__("" : "+r"(literal));
    } else {
      v = kByteCodeValues.bits[c];
    }
    std::memcpy(out + k * 8, &v, 8);
  }
  return literal;
}

// As DecodeFromBlock, counting values instead of storing them.
inline size_t SkipInBlock(ByteCodeBlock& b, size_t produced, size_t want) {
  int i = b.index;
  while (i < kKeySize && produced < want) {
    const uint8_t c = b.control[i++];
    if (c == kCodeLiteral) b.literal += 8;
    if (c == kCodeEndOfBlock) i = kKeySize;
    produced += c != kCodeFiller && c != kCodeEndOfBlock;
  }
  b.index = i;
  return produced;
}

// Receives the finished blocks of an encoder, many at a time: built in room
// the sink lends (BlockSpace, then CommitBlocks), or in the encoder's own
// run and handed over by WriteBlocks.
class ByteCodeSink {
 public:
  virtual ~ByteCodeSink() = default;
  // Room for at least `least` bytes of blocks in the sink's own memory,
  // `*room` bytes of it; null when the sink lends none. The room stays the
  // encoder's until CommitBlocks.
  virtual char* BlockSpace(size_t least, size_t* room) {
    (void)least;
    (void)room;
    return nullptr;
  }
  // The first `size` bytes of the room last lent hold whole blocks.
  virtual void CommitBlocks(size_t size) { (void)size; }
  virtual void WriteBlocks(const char* blocks, size_t size) = 0;
};

// Encodes slot values into command blocks, built in place in a run of
// blocks: in room the sink lends, else in a run of the encoder's own that
// goes to the sink once it holds kRunBytes. The whole blocks go to the sink
// when the run has no room for another block, and at Flush, which first
// completes a partial block with filler codes (never 252). The block under
// way stays with the encoder.
class ByteCodeEncoder {
 public:
  static constexpr size_t kRunBytes = size_t{64} << 10;

  explicit ByteCodeEncoder(ByteCodeSink& sink) : sink_(sink) {}

  // One slot of 8 bytes, as it is to be stored.
  void Append(const char* slot) {
    if (used_ == 0 && room_ - block_start_ < kMaxBlockSize) [[unlikely]] NewRun();
    uint64_t bits;
    std::memcpy(&bits, slot, 8);
    const uint8_t code = EncodeSlot(bits);
    char* block = run_ + block_start_;
    block[used_] = static_cast<char>(code);
    if (code == kCodeLiteral) {
      std::memcpy(block + kKeySize + literals_ * 8, slot, 8);
      ++literals_;
    }
    if (++used_ == kKeySize) EndBlock();
  }
  // `count` consecutive slots: whole blocks of eight in a loop that keeps
  // its state in registers, the slots before and after one at a time.
  void AppendSlots(const char* slots, size_t count) {
    for (; count != 0 && used_ != 0; --count, slots += 8) Append(slots);
    while (count >= static_cast<size_t>(kKeySize)) {
      if (room_ - block_start_ < kMaxBlockSize) NewRun();
      char* out = run_ + block_start_;
      const char* last = run_ + (room_ - kMaxBlockSize);
      for (; count >= static_cast<size_t>(kKeySize) && out <= last;
           count -= kKeySize, slots += kKeySize * 8) {
        out = EncodeEight(slots, out);
      }
      block_start_ = static_cast<size_t>(out - run_);
    }
    for (; count != 0; --count, slots += 8) Append(slots);
  }
  void Flush() {
    if (used_ != 0) {
      std::memset(run_ + block_start_ + used_, kCodeFiller, kKeySize - used_);
      used_ = kKeySize;
      EndBlock();
    }
    SendRun();
  }
  // Control bytes already set in the block under way (0 after a block
  // ended).
  int Pending() const { return used_; }
  // Bytes of whole blocks not yet sent: the block under way starts this far
  // after the last byte sent.
  size_t Held() const { return block_start_; }

 private:
  // Eight slots as one whole block at `out`; returns the block's end. Every
  // slot is stored as a literal and kept only when its code says so: no
  // branch on the values, and a block has room for eight literals.
  static char* EncodeEight(const char* slots, char* out) {
    char* literal = out + kKeySize;
    for (int k = 0; k < kKeySize; ++k) {
      uint64_t bits;
      std::memcpy(&bits, slots + k * 8, 8);
      const uint8_t code = EncodeSlot(bits);
      out[k] = static_cast<char>(code);
      std::memcpy(literal, &bits, 8);
      literal += code == kCodeLiteral ? 8 : 0;
    }
    return literal;
  }
  void EndBlock() {
    block_start_ += kKeySize + static_cast<size_t>(literals_) * 8;
    used_ = 0;
    literals_ = 0;
  }
  // Sends the whole blocks, then takes room for the next ones.
  void NewRun() {
    SendRun();
    size_t room = 0;
    if (char* space = sink_.BlockSpace(kMaxBlockSize, &room)) {
      run_ = space;
      room_ = room;
      lent_ = true;
      return;
    }
    if (!own_) own_.reset(new char[kRunBytes + kMaxBlockSize]);
    run_ = own_.get();
    room_ = kRunBytes + kMaxBlockSize;
  }
  // The run is empty again, and has no room, before the sink sees it, also
  // when the sink raises: its blocks are then lost, once.
  void SendRun() {
    const size_t size = block_start_;
    const bool lent = lent_;
    block_start_ = 0;
    room_ = 0;
    lent_ = false;
    if (size == 0 && !lent) return;
    if (lent) {
      sink_.CommitBlocks(size);
    } else {
      sink_.WriteBlocks(run_, size);
    }
  }

  ByteCodeSink& sink_;
  std::unique_ptr<char[]> own_;  // the run when the sink lends no room
  char* run_ = nullptr;          // whole blocks, then the block under way
  size_t room_ = 0;              // bytes of the run
  bool lent_ = false;            // the run is the sink's
  size_t block_start_ = 0;
  int used_ = 0;
  int literals_ = 0;
};

}  // namespace vexa
