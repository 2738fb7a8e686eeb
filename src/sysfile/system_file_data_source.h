// SystemFileDataSource: a data source over one system file. Opened for
// reading it holds the dictionary and header read from the file and the
// stream positioned at the case data; created for writing it holds an empty
// dictionary and the header defaults until the header commit writes them.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dict/data_source.h"
#include "io/stream.h"
#include "sysfile/file_header.h"
#include "sysfile/sparse_row_index.h"

namespace vexa {

class SystemFileDataSource : public VEXA_DataSource {
 public:
  // The case iterator (sysfile/case_iterator.h).
  class Iterator;

  ~SystemFileDataSource() override;

  // Reads the header and the dictionary of the file at `path`. Raises
  // SystemFileException or ErrorText when the file cannot be read; nothing
  // survives a failed open.
  static std::unique_ptr<SystemFileDataSource> OpenForReading(
      const std::string& path);
  // The same over a stream positioned at the file's first byte.
  static std::unique_ptr<SystemFileDataSource> OpenForReading(
      std::unique_ptr<VEXA_StrBaseIO> stream, std::string file_name = {});

  // A data source for a new file; nothing is written before the commit.
  static std::unique_ptr<SystemFileDataSource> CreateForWriting(
      const std::string& path);

  bool IsWriter() const { return writer_; }
  const std::string& FileName() const { return file_name_; }
  const FileHeader& Header() const { return header_; }
  FileHeader& MutableHeader() { return header_; }
  int64_t CaseCount() const override { return header_.case_count; }
  // Stream position of the first byte of case data (reading).
  int64_t DataStart() const { return data_start_; }
  VEXA_StrBaseIO* Stream() { return stream_.get(); }

  // An Iterator whose case works on `buffer` (the dictionary's slot count x
  // 8 bytes); null for a writer. Raises SystemFileException 1204 for case
  // data that cannot be read (zlib case data, a layout that does not fit
  // the dictionary).
  std::unique_ptr<VEXA_InputCaseIterator> CreateIterator(char* buffer) override;
  // The recorded case starts of byte-code data, shared by the iterators.
  SparseRowIndex& RowIndex() { return row_index_; }

  // The table of short (8-byte) and long names: read from the file, or
  // generated at the commit. Each entry is (short name, long name), the
  // order of the long names record. Empty when the file has none.
  std::vector<std::pair<std::string, std::string>>& NameTable() {
    return name_table_;
  }
  // The short name recorded for a long name; false when the table has none.
  bool FindShortName(std::string_view long_name, std::string* short_name) const;

 private:
  SystemFileDataSource() = default;

  bool writer_ = false;
  std::string file_name_;
  FileHeader header_;
  std::unique_ptr<VEXA_StrBaseIO> stream_;
  int64_t data_start_ = 0;
  std::vector<std::pair<std::string, std::string>> name_table_;
  SparseRowIndex row_index_;
};

}  // namespace vexa
