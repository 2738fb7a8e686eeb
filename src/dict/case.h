// VEXA_Case: the buffer of one case in memory. A case is a row of 8-byte
// slots laid out by the dictionary's slot offsets: one slot per numeric
// value (a double in host order), max(1, ceil(w / 8)) slots per string of
// width w (its text, then blanks to the end of the last slot).
//
// VEXA_InputCaseIterator: the base of every case iterator. It fills its case
// on every read; a seek takes effect at the next read.
#pragma once

#include <cstddef>
#include <cstring>
#include <cstdint>
#include <memory>

namespace vexa {

class Dictionary;

class VEXA_Case {
 public:
  // Allocates slot_count * 8 bytes and clears every value of the dictionary
  // (system-missing in numerics, blanks in strings).
  explicit VEXA_Case(const Dictionary& dict);
  // Works on the caller's buffer of the dictionary's slot count * 8 bytes,
  // which must outlive the case; its bytes are left as they are.
  VEXA_Case(const Dictionary& dict, char* buffer);
  virtual ~VEXA_Case();
  VEXA_Case(const VEXA_Case&) = delete;
  VEXA_Case& operator=(const VEXA_Case&) = delete;

  char* Data() { return data_; }
  const char* Data() const { return data_; }
  size_t SlotCount() const { return slots_; }
  size_t Bytes() const { return slots_ * 8; }

  // Writes the empty case of the dictionary into `buffer`: system-missing in
  // every numeric slot, blanks in every string slot.
  static void Clear(const Dictionary& dict, char* buffer);

 private:
  std::unique_ptr<char[]> owned_;
  char* data_;
  size_t slots_;
};

class VEXA_InputCaseIterator {
 public:
  virtual ~VEXA_InputCaseIterator() = default;

  // Reads the next case into Case(). Returns false at the end of the data.
  // Raises SystemFileException (kErrTruncated and others) for damaged data.
  virtual bool ReadNext() = 0;
  // Reads the next case straight into `dest` (as large as Case()) instead
  // of Case(), which keeps what it held. Returns false at the end of the
  // data.
  virtual bool ReadNextInto(char* dest) {
    if (!ReadNext()) return false;
    std::memcpy(dest, Case().Data(), Case().Bytes());
    return true;
  }
  // Reads up to `count` cases one after another into `dest`; `done` counts
  // the cases delivered, also when a damaged case raises. Returns the count,
  // fewer than asked only at the end of the data.
  virtual size_t ReadCasesInto(char* dest, size_t count, size_t& done) {
    for (done = 0; done < count; ++done, dest += Case().Bytes()) {
      if (!ReadNextInto(dest)) break;
    }
    return done;
  }
  // As ReadCasesInto, where the cases may stay where the iterator holds
  // them: `at` is set to where the `done` cases begin, `dest` or memory of
  // the iterator's that is valid until its next read. Returns the count;
  // fewer than asked at the end of the data, or (at least one) when the
  // cases are the iterator's. When a damaged case raises, the cases
  // delivered are at `dest`.
  virtual size_t ReadCasesAt(char* dest, size_t count, size_t& done, const char*& at) {
    at = dest;
    return ReadCasesInto(dest, count, done);
  }
  // Makes the next read deliver case `case_number` (0-based). Returns false
  // when this iterator cannot seek.
  virtual bool Seek(int64_t case_number) = 0;
  // Where the case that the next read delivers begins in the file's case
  // data, a number that only SeekPosition on the same file understands; -1
  // from an iterator that keeps no positions.
  virtual int64_t NextCasePosition() { return -1; }
  // Makes the next read deliver case `case_number`, which begins at
  // `position` as NextCasePosition gave it, without passing the cases
  // before it. False when this iterator cannot seek so.
  virtual bool SeekPosition(int64_t case_number, int64_t position) {
    (void)case_number;
    (void)position;
    return false;
  }

  virtual VEXA_Case& Case() = 0;
};

}  // namespace vexa
