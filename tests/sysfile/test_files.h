// Small files for the reader and writer tests: composed with case data and
// read back case by case, or written through the writer and looked at.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/memory_stream.h"
#include "support/open_bytes.h"
#include "support/sysfile_builder.h"
#include "support/temp_dir.h"
#include "sysfile/case_iterator.h"
#include "sysfile/system_file_data_source.h"

namespace vexa::testing {

enum class Storage { kUncompressed, kCompressed };

// Case number i of a file of numerics a (integral, compressible), b (a
// fraction, a literal) and a string of width 8.
inline std::vector<CaseSlot> SampleCase(int i) {
  return {CaseSlot::Number(i), CaseSlot::Number(i + 0.25),
          CaseSlot::Text("c" + std::to_string(i))};
}

// The same case as its 24 bytes in host order.
inline std::string SampleCaseBytes(int i) {
  std::string out;
  for (const CaseSlot& s : SampleCase(i)) out.append(s.bytes.data(), 8);
  return out;
}

// A file of the variables a, b, s (A8) and `count` sample cases.
inline std::string SampleCasesFile(Storage storage, int count,
                                   bool big_endian = false,
                                   int32_t case_count = -1) {
  SysFileBuilder b(big_endian);
  b.Header({.compression = storage == Storage::kCompressed ? 1 : 0, .case_count = case_count})
      .NumericVar("a").NumericVar("b").StringVar("s", 8).MachineInts().MachineFloats().End();
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

constexpr auto I32At = &ValueAt<int32_t>;

// Unit `unit` (0: the probe, 1: the count) of the subtype 16 record of a
// file that opens.
inline int64_t CaseCountUnit(const std::string& bytes, int unit = 1) {
  const int64_t at = OpenBytes(bytes)->Header().subtype16_position + 8 * unit;
  return ValueAt<int64_t>(bytes, static_cast<size_t>(at));
}

// A file being written in a temporary directory: variables are added to
// the writer's dictionary, cases are given value by value.
class WriterFile {
 public:
  explicit WriterFile(int compression = 0)
      : path_(dir_.File("out.vexa")),
        writer_(SystemFileDataSource::CreateForWriting(path_)) {
    writer_->SetCompression(compression);
  }

  Dictionary& Dict() { return writer_->GetDictionary(); }
  SystemFileDataSource& Writer() { return *writer_; }
  const std::string& Path() const { return path_; }

  int AddVar(std::string_view name, int type) {
    VEXA_Variable var(type);
    var.SetName(name);
    return Dict().Add(var);
  }

  // Commits the dictionary when no case has, and completes the file.
  void Finish() {
    if (writer_->State() == SystemFileDataSource::kDefining) writer_->CommitHeader();
    ASSERT_EQ(writer_->FinishWriting(), 0);
  }
  std::string Bytes() const { return ReadFile(path_); }
  std::unique_ptr<SystemFileDataSource> Read() const {
    return SystemFileDataSource::OpenForReading(path_);
  }

 private:
  TempDir dir_;
  std::string path_;
  std::unique_ptr<SystemFileDataSource> writer_;
};

}  // namespace vexa::testing
