// Composing small files with case data and reading their cases back, for
// the case reading tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/memory_stream.h"
#include "support/open_bytes.h"
#include "support/sysfile_builder.h"
#include "sysfile/case_iterator.h"

namespace vexa::testing {

// A memory stream that counts the bytes read through it.
class CountingStream : public MemoryStream {
 public:
  using MemoryStream::MemoryStream;
  size_t Read(void* dest, size_t size) override {
    size_t n = MemoryStream::Read(dest, size);
    bytes_read += n;
    return n;
  }
  size_t bytes_read = 0;
};

enum class Storage { kUncompressed, kCompressed };

// Case number i of a file of numerics a (integral, compressible), b (a
// fraction, a literal) and a string of width 8.
inline std::vector<CaseSlot> SampleCase(int i) {
  return {CaseSlot::Number(i), CaseSlot::Number(i + 0.25),
          CaseSlot::Text("c" + std::to_string(i))};
}

// A file of the variables a, b, s (A8) and `count` sample cases.
inline std::string SampleCasesFile(Storage storage, int count,
                                   bool big_endian = false,
                                   int32_t case_count = -1) {
  SysFileBuilder b(big_endian);
  b.Header({.compression = storage == Storage::kCompressed ? 1 : 0,
            .case_count = case_count})
      .NumericVar("a")
      .NumericVar("b")
      .StringVar("s", 8)
      .MachineInts()
      .MachineFloats()
      .End();
  if (storage == Storage::kCompressed) {
    std::vector<std::vector<CaseSlot>> cases;
    for (int i = 0; i < count; ++i) cases.push_back(SampleCase(i));
    b.CompressedCases(cases);
  } else {
    for (int i = 0; i < count; ++i) {
      b.CaseNumber(i).CaseNumber(i + 0.25).CaseText("c" + std::to_string(i), 8);
    }
  }
  return b.Bytes();
}

// An open file with an iterator over a buffer of the dictionary's size.
struct CaseReader {
  explicit CaseReader(std::unique_ptr<SystemFileDataSource> s)
      : source(std::move(s)),
        buffer(static_cast<size_t>(source->GetDictionary().SlotCount()) * 8),
        iterator(source->CreateIterator(buffer.data())) {}
  explicit CaseReader(std::string bytes) : CaseReader(OpenBytes(std::move(bytes))) {}

  double Number(int slot) const {
    double v;
    std::memcpy(&v, buffer.data() + slot * 8, 8);
    return v;
  }
  std::string Slots(int first, int count) const {
    return std::string(buffer.data() + first * 8, static_cast<size_t>(count) * 8);
  }
  // Reads to the end; returns the cases read.
  int ReadAll() {
    int n = 0;
    while (iterator->ReadNext()) ++n;
    return n;
  }

  std::unique_ptr<SystemFileDataSource> source;
  std::vector<char> buffer;
  std::unique_ptr<VEXA_InputCaseIterator> iterator;
};

}  // namespace vexa::testing
