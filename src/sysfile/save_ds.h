// SystemFileDataSource::SaveDS: the writer of one system file. Created at
// the header commit over a private copy of the parent's dictionary, which
// it never changes: the write plan (layout/write_plan.h) says how the file
// lays that dictionary out. It writes the dictionary part, then takes the
// cases, and completes the file when it is destroyed.
//
// Lifecycle: WriteDictionary (a new file) or UseLayout (appending), then
// StartCases, then WriteCase for each case, then Complete (or the
// destructor, which completes a file whose cases were started).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dict/data_source.h"
#include "layout/case_layout.h"
#include "io/stream.h"
#include "sysfile/system_file_data_source.h"

namespace vexa {

class CaseWriter;
class zcmpsFilestr;

class SystemFileDataSource::SaveDS : public VEXA_DataSource {
 public:
  // Copies the parent's dictionary; writes through `stream`.
  SaveDS(SystemFileDataSource& parent, std::unique_ptr<VEXA_StrBaseIO> stream);
  // Completes the file (last block, case counts patched) once its cases
  // were started; failures are swallowed here (call Complete to see them).
  ~SaveDS() override;

  SystemFileDataSource& Parent() { return parent_; }
  // The parent's header information (it outlives the writer).
  FileHeader& Header() { return parent_.header_; }

  // --- Driven by the parent --- Writes the dictionary part of a new file at
  // the stream's position: header, variable, value label, document and
  // extension records and the termination record. Raises ErrorText
  // kErrDuplicateName for two names equal without regard to case,
  // kErrNoShortName when no short name can be formed.
  void WriteDictionary();
  // Appending: the cases go into the layout the file was read with.
  void UseLayout(const CaseLayout& layout);
  // The case data goes through `zlib`, which Complete closes
  // before the counts are patched through the stream of the dictionary.
  void UseZlib(std::unique_ptr<zcmpsFilestr> zlib);
  // Starts (or restarts) the case data at the case stream's position, which is
  // `data_offset` bytes into the case data; `initial_cases` cases are in the
  // file before it. Byte-code compression follows the header's code.
  CaseWriter& StartCases(int64_t initial_cases, int64_t data_offset);
  // Where the count unit of the 64-bit case count record lies (0: nowhere):
  // the second of two units, or the only one.
  void SetNCasesPosition(int64_t position) { ncases_position_ = position; }
  int64_t NCasesPosition() const { return ncases_position_; }
  // Writes one case given in the memory layout of the parent's dictionary.
  void WriteCase(const char* memory_case);
  // Writes `count` such cases that lie one after another.
  void WriteCases(const char* memory_cases, size_t count);
  // Flushes the last block and patches the case counts into the header
  // record (offset 80) and the 64-bit count record. Once only.
  void Complete();

  // Slots per case in the file layout.
  int64_t FileSlots() const;
  VEXA_StrBaseIO& Stream() { return *stream_; }
  // The stream of the case data: the zlib stream, else Stream().
  VEXA_StrBaseIO& CaseStream();

  // The implementation keeps its state here (sysfile/save_ds.cc).
  struct State;

 private:
  SystemFileDataSource& parent_;
  std::unique_ptr<VEXA_StrBaseIO> stream_;
  std::unique_ptr<zcmpsFilestr> zlib_;
  int64_t ncases_position_ = 0;
  std::unique_ptr<State> state_;
};

}  // namespace vexa
