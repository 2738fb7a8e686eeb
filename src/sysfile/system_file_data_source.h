// SystemFileDataSource: a data source over one system file. Opened for
// reading it holds the dictionary and header read from the file and the
// stream positioned at the case data; created for writing it holds an empty
// dictionary and the header defaults until the header commit writes them.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dict/data_source.h"
#include "io/replacement_file.h"
#include "io/stream.h"
#include "layout/file_header.h"
#include "sysfile/sparse_row_index.h"

namespace vexa {

class VEXA_File;
class VEXA_FileStream;
class zcmpsFilestr;

class SystemFileDataSource : public VEXA_DataSource {
 public:
  // The case iterator (sysfile/case_iterator.h).
  class Iterator;
  // The writer that exists from the header commit until the file is
  // finished (sysfile/save_ds.h).
  class SaveDS;

  // Writing states.
  enum WritingState { kDefining = 0, kWriting = 1, kFinished = 2 };

  ~SystemFileDataSource() override;

  // Reads the header and the dictionary of the file at `path` (a protected file
  // through the decrypting stream when a password is given), and for the zlib
  // form its zlib header and block index. Raises SystemFileException or
  // ErrorText when the file cannot be read (ErrorText kErrBadPassword when the
  // password does not open an existing, readable file); nothing survives a
  // failed open. First puts back a file whose append a crash interrupted, from
  // its journal (SystemFileException kErrReopen when that cannot be done,
  // io/journal.h); `writer_lock_held` when the caller holds the file's writer
  // lock (io/writer_lock.h).
  static std::unique_ptr<SystemFileDataSource> OpenForReading(
      const std::string& path, const std::string& password = {},
      bool writer_lock_held = false);
  // The same over a stream positioned at the file's first byte. The zlib
  // form's case data is read only from a stream that shares its file;
  // over another stream its dictionary is read and its case iterators are
  // refused.
  static std::unique_ptr<SystemFileDataSource> OpenForReading(
      std::unique_ptr<VEXA_StrBaseIO> stream, std::string file_name = {});

  // A data source for a new file, protected by `password` when one is
  // given; nothing is written before the commit.
  static std::unique_ptr<SystemFileDataSource> CreateForWriting(
      const std::string& path, const std::string& password = {});

  // An existing file opened to have cases added: its dictionary is read
  // and it starts in the finished state, so the first case written reopens
  // it for appending. The caller holds the file's writer lock.
  static std::unique_ptr<SystemFileDataSource> OpenForAppending(
      const std::string& path, const std::string& password = {});

  // --- Writing ---
  // Fixes the dictionary and writes the dictionary part of the file under a
  // new name beside the file it replaces (renamed over it when finished),
  // encrypted as it is written when protected. Raises
  // ErrorText kErrBadState when already committed (or not created for
  // writing), kErrDuplicateName for names equal without regard to case,
  // kErrNoShortName when no short name can be formed. A failed commit
  // leaves the defining state (the file may exist by then).
  // kCompressionZlib writes the zlib form (magic "$FL3").
  void CommitHeader();
  // Writes one case given in memory layout (the dictionary's slot count x 8
  // bytes). Commits first in the defining state; reopens the file for appending
  // in the finished state (raising SystemFileException kErrReopen when it
  // cannot be reopened). Raises ErrorText kErrBadState while a case iterator of
  // this data source exists, SystemFileException kErrRawCaseWrite when a raw
  // case cannot be written whole. Once a write has failed, every later one
  // raises that failure again, and so does FinishWriting.
  void WriteCase(const char* slots);
  // Writes `count` cases that lie one after another, as WriteCase does each
  // (a failure may leave some of them written, some not).
  void WriteCases(const char* slots, size_t count);
  // Completes the file: the last compressed block, the case counts patched into
  // the header and the 64-bit count record (and a protected file's last
  // block); a new file is made durable and renamed over the file it
  // replaces. Returns 0, or kNotWriting when not writing (nothing happens then).
  // Raises the first failure of the writing (also one raised by an earlier
  // WriteCase): the new file is removed then, a file added to is put back as it
  // was, and the old file stays.
  static constexpr int kNotWriting = 32;
  int FinishWriting();
  // Ends the writing without completing the file, as a failed finish does:
  // a new file is removed, a file added to is put back as it was, the old
  // file stays. Nothing to undo before the header commit or after a finish.
  void AbandonWriting();
  // True for a file protected by a password.
  bool HasPassword() const { return !password_.empty(); }
  WritingState State() const { return state_; }
  // The header's compression code (kCompressionNone, kCompressionByteCode or
  // kCompressionZlib).
  int Compression() const { return header_.compression; }
  // A protected file is never zlib compressed: it takes byte-code instead.
  void SetCompression(int code) {
    header_.compression =
        code == kCompressionZlib && HasPassword() ? kCompressionByteCode : code;
  }

  // The encoding of the file's text. A file read: the name its encoding
  // record gives (also one no converter knows), else the code page of its machine
  // record's character code when that has a name, else the current code
  // page. A file written: the interface encoding when it was created; the
  // header commit records it (the character code and the encoding record).
  std::string FileEncoding() const;

  bool IsWriter() const { return writer_; }
  const std::string& FileName() const { return file_name_; }
  const FileHeader& Header() const { return header_; }
  FileHeader& MutableHeader() { return header_; }
  int64_t CaseCount() const override { return header_.case_count; }
  // Stream position of the first byte of case data (reading).
  int64_t DataStart() const { return data_start_; }
  VEXA_StrBaseIO* Stream() { return stream_.get(); }

  // An iterator found the end of the data after `cases_found` cases: the
  // case count becomes that when the header said more or nothing.
  void NoteEndOfData(int64_t cases_found) {
    if (header_.case_count > cases_found || header_.case_count == -1) {
      header_.case_count = cases_found;
    }
  }
  // An Iterator whose case works on `buffer` (the dictionary's slot count x 8
  // bytes); null for a writer. Raises SystemFileException kErrBadStructure for
  // case data that cannot be read (a layout that does not fit the dictionary,
  // zlib data of a file not opened from a file).
  std::unique_ptr<VEXA_InputCaseIterator> CreateIterator(char* buffer) override;
  // The recorded case starts of byte-code data, shared by the iterators.
  SparseRowIndex& RowIndex() { return row_index_; }

  // The table of short (8-byte) and long names: read from the file, or
  // generated at the commit. Each entry is (short name, long name), the
  // order of the long names record. Empty when the file has none.
  std::vector<std::pair<std::string, std::string>>& NameTable() {
    return name_table_;
  }
  // The short name recorded for a long name: from the name map of a
  // committed writer, else from the table read from the file; false when
  // neither has the name.
  bool FindShortName(std::string_view long_name, std::string* short_name) const;

 private:
  SystemFileDataSource() = default;
  // Counts the case iterators alive on this data source.
  class TrackedIterator;
  // Creates the writer for the cases added to a finished file and positions
  // it after the last case (sysfile/append.cc).
  void ReopenForAppending();
  // The file at `path` through the stream its form needs: the plain file
  // stream, or with a password the decrypting one (the password as given
  // and its decoded form are tried, the one that worked last first).
  // Null when a plain file does not open. Raises ErrorText kErrBadPassword when the
  // password does not open a protected file, else the reason it cannot be
  // read (kErrReopen when it does not open).
  std::unique_ptr<VEXA_FileStream> OpenFile(const std::string& path, const std::string& mode);
  // The zlib stream over the file beneath `stream`, begun reading at the case
  // start. Raises SystemFileException kErrBadStructure for a stream that is not
  // a file's and for a damaged zlib header or block index.
  static std::unique_ptr<zcmpsFilestr> OpenZlibCaseData(VEXA_StrBaseIO& stream,
                                                        int64_t case_start,
                                                        bool swap);

  bool writer_ = false;
  std::string password_;
  bool decoded_password_first_ = false;
  std::string file_name_;
  FileHeader header_;
  std::unique_ptr<VEXA_StrBaseIO> stream_;
  int64_t data_start_ = 0;
  std::vector<std::pair<std::string, std::string>> name_table_;
  SparseRowIndex row_index_;
  WritingState state_ = kDefining;
  std::unique_ptr<SaveDS> save_;
  int open_iterators_ = 0;
  // A new plain file is written beside its target and renamed over it when
  // finished.
  ReplacementFile replacement_;
  // The first failure of WriteCase (see there).
  std::exception_ptr write_failure_;
};

}  // namespace vexa
