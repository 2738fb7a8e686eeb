// The process-wide table of open files. A file handle is the index of its
// slot (0 to 99); each occupied slot owns the HandleRecord of one open file.
// Opening and closing take the table's lock; looking a handle up takes none
// (one atomic load), so that threads may open, use and close different
// handles at the same time and a call on a handle costs little. Calls on
// one handle, its close included, come from one thread at a time.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dict/data_source.h"
#include "io/writer_lock.h"
#include "vexaio.h"

namespace vexa {

class SystemFileDataSource;

enum class HandleMode { kRead = 1, kWrite = 2, kAppend = 3 };

// What a call requires of the handle it is given.
enum class Access {
  kAny,     // every open handle
  kDefine,  // write handle before the header commit
  kRead,    // read handle
  kData,    // write or append handle after the header commit
};

// Extension subtypes a handle keeps a data reader for: 0 to 40.
constexpr int kExtensionSubtypes = 41;

// Where a caller stands in delivering one extension record's data in
// pieces. The reader holds the entry it started on; replacing or removing
// the record drops the reader, so the next piece starts the new record.
struct ExtensionDataReader {
  RefPtr<VEXA_ExtensionImpl> entry;  // null when the record does not exist
  int64_t next = 0;                  // first element of the next piece
  int64_t left = 0;                  // elements still to deliver
};

// Case state of a handle.
enum CaseState { kNoCase = 0, kCurrentCase = 1, kEndOfData = 2 };

// One open file: its data source, where the caller stands in it, and the
// buffers and readers the calls on it share.
class HandleRecord {
 public:
  // `sysfile` is the system file behind the data source: the data source
  // itself, or the reader a converting view wraps (`converted`).
  HandleRecord(HandleMode mode, std::unique_ptr<VEXA_DataSource> source,
               SystemFileDataSource* sysfile, bool converted = false);
  ~HandleRecord();
  HandleRecord(const HandleRecord&) = delete;
  // Write and append handles: finishes the file (the last block written,
  // the case counts patched, a new file renamed into place). Raises the
  // failure of that or of an earlier case write; the file is then left as
  // it was before the handle wrote to it. Nothing for read handles.
  void Finish();
  // Write and append handles: ends the writing without completing the
  // file, which stays as it was before the handle wrote to it.
  void Abandon();
  HandleRecord& operator=(const HandleRecord&) = delete;
  // Write and append handles: the lock that keeps other writers off the
  // file, held until the file is finished.
  void HoldWriterLock(WriterLock lock) { writer_lock_ = std::move(lock); }

  VEXA_DataSource& data_source() { return *data_source_; }
  Dictionary& Dict() { return data_source_->GetDictionary(); }
  // The system file behind the data source, directly or beneath a
  // converting view.
  SystemFileDataSource* sysfile() const { return sysfile_; }
  // True when a converting view presents the file in the interface
  // encoding: the file's own texts (its short names) are in another one.
  bool converted() const { return converted_; }
  HandleMode mode() const { return mode_; }
  bool header_committed() const { return header_committed_; }
  void set_header_committed() { header_committed_ = true; }
  int case_state() const { return case_state_; }
  void set_case_state(int state) { case_state_ = state; }
  // The case: CaseBytes() bytes, allocated once per handle.
  char* case_buffer() { return case_buffer_.get(); }
  size_t CaseBytes() const { return case_bytes_; }
  // Read handles: room for `bytes` bytes of whole cases, kept from one
  // call to the next so that a call makes no fresh memory.
  char* BatchBuffer(size_t bytes);
  // Read handles: the iterator that fills the case buffer.
  VEXA_InputCaseIterator* iterator() { return iterator_.get(); }
  // The delivery of a subtype's data under way, if any (0 <= subtype < 41).
  std::optional<ExtensionDataReader>& extension_reader(int subtype) {
    return extension_readers_[static_cast<size_t>(subtype)];
  }

  // The position of the variable named `name` (blank-trimmed, matched without
  // regard to case), or -1.
  int FindVariable(std::string_view name) const;
  // Rebuilds the name index from the dictionary; false when two names are
  // equal without regard to case.
  bool BuildNameIndex();
  void AddToNameIndex(const std::string& key, int position);
  // Builds the variable directory from the (now fixed) dictionary.
  void BuildVariableDirectory();
  // Read handles: allocates the case buffer and creates the case iterator
  // over it. False when either cannot be had (a case of no slots among
  // others).
  bool CreateCaseIterator();
  // Write and append handles: allocates the case buffer and the template of
  // an empty case on first need, and starts a new case from the template
  // unless one is being built.
  void PrepareCase() {
    if (case_state_ != kCurrentCase) [[unlikely]] StartCase();
  }
  // Where a numeric variable's value goes in the case being built, for a
  // call that needs nothing else done: null unless a case is under way and
  // the variable handle is that of a numeric.
  char* NumericInCase(double var_handle) {
    if (case_state_ != kCurrentCase || !(var_handle >= 1.0) ||
        !(var_handle < directory_end_)) {
      return nullptr;
    }
    const auto& [offset, type] = variable_directory_.data()[static_cast<int64_t>(var_handle) - 1];
    return type == kNumericType ? case_buffer_.get() + static_cast<size_t>(offset) * 8 : nullptr;
  }
  // The directory entry of a variable handle (position plus one), or raises
  // VEXA_E_BAD_VAR_HANDLE (VEXA_E_HEADER_NOT_COMMITTED when the directory is
  // empty).
  const std::pair<int32_t, int32_t>& DirectoryEntry(double var_handle) const {
    // Compared as doubles first, so that NaN and huge values never reach
    // the conversion to an integer.
    // The bound is kept as a double: a value call costs a few instructions
    // beyond the store, and this is most of them.
    if (var_handle >= 1.0 && var_handle < directory_end_) [[likely]] {
      return variable_directory_.data()[static_cast<int64_t>(var_handle) - 1];
    }
    RefuseVariableHandle();
  }
  // The result code of a call on this handle that needs `access`: 0, or
  // why the handle does not allow it.
  int Refuses(Access access) const {
    switch (access) {
      case Access::kAny:
        return 0;
      case Access::kDefine:
        if (mode_ == HandleMode::kRead) return VEXA_E_OPENED_FOR_READ;
        return header_committed_ ? VEXA_E_HEADER_COMMITTED : 0;
      case Access::kRead:
        return mode_ != HandleMode::kRead ? VEXA_E_OPENED_FOR_WRITE : 0;
      case Access::kData:
        if (mode_ == HandleMode::kRead) return VEXA_E_OPENED_FOR_READ;
        return header_committed_ ? 0 : VEXA_E_HEADER_NOT_COMMITTED;
    }
    return 0;
  }

 private:
  // PrepareCase() when no case is being built.
  void StartCase();
  // Raises why a variable handle has no directory entry.
  [[noreturn]] void RefuseVariableHandle() const;

  // Before the data source, so that it goes after the file is finished.
  WriterLock writer_lock_;
  std::unique_ptr<VEXA_DataSource> data_source_;
  SystemFileDataSource* sysfile_;
  bool converted_;
  HandleMode mode_;
  bool header_committed_;
  int case_state_ = kNoCase;
  // Upper-case blank-trimmed name -> position in the dictionary.
  std::unordered_map<std::string, int> name_index_;
  // Per variable: offset of its first 8-byte unit in the case, and its type.
  std::vector<std::pair<int32_t, int32_t>> variable_directory_;
  double directory_end_ = 1.0;  // the last variable handle plus one
  std::unique_ptr<char[]> case_buffer_;
  size_t case_bytes_ = 0;
  // Write and append handles: the empty case every new case starts from.
  std::unique_ptr<char[]> case_template_;
  std::unique_ptr<VEXA_InputCaseIterator> iterator_;
  std::unique_ptr<char[]> batch_buffer_;
  size_t batch_bytes_ = 0;
  std::array<std::optional<ExtensionDataReader>, kExtensionSubtypes>
      extension_readers_;
};

class HandleTable {
 public:
  static constexpr int kSlots = 100;

  static HandleTable& Instance() { return instance_; }

  // Stores the record in the lowest empty slot and writes its index to
  // *handle. Returns 0, or VEXA_E_TOO_MANY_FILES (the record is destroyed).
  int Allocate(std::unique_ptr<HandleRecord> record, int* handle);
  // The record of an open handle, checked against the access level: a
  // result code (0 on success) and the record.
  int Lookup(int handle, Access access, HandleRecord** record) const {
    *record = nullptr;
    if (static_cast<unsigned>(handle) >= static_cast<unsigned>(kSlots)) return VEXA_E_BAD_HANDLE;
    HandleRecord* r = slots_[static_cast<size_t>(handle)].load(std::memory_order_acquire);
    if (r == nullptr) return VEXA_E_BAD_HANDLE;
    if (const int code = r->Refuses(access); code != 0) return code;
    *record = r;
    return VEXA_OK;
  }
  // Finishes the file of an open handle, destroys its record and empties
  // its slot. A failure to finish the file is stored in *failure (when
  // given); the slot is emptied all the same.
  int Release(int handle, std::exception_ptr* failure = nullptr);
  // Empties the slot of an open write or append handle without finishing
  // its file: VEXA_E_BAD_HANDLE, or VEXA_E_OPENED_FOR_READ (the handle
  // stays open), or 0.
  int Abandon(int handle);
  bool AnyOpen() const;
  // Runs `change` (a process-wide setting) while no handle is open and no
  // handle can be opened; false, without running it, when one is open.
  bool WhileNoneOpen(const std::function<void()>& change);

 private:
  constexpr HandleTable() = default;
  // The one table: constant-initialised, so that no call pays for a first-
  // use check, and never destroyed, so that records still open at exit
  // stay reachable and are not finished behind the caller's back.
  static HandleTable instance_;
  bool AnyOpenLocked() const;
  // Takes the record out of an open handle's slot, unless `writers_only`
  // and it is a read handle: a result code and the record.
  int Take(int handle, bool writers_only, std::unique_ptr<HandleRecord>* record);

  // Serialises the changes of the slots (opens, closes, settings), not the
  // lookups, nor the records: a record belongs to the caller of its handle.
  // A slot owns its record; it is published with a release store, so that a
  // lookup's acquire load sees the record complete.
  mutable std::mutex lock_;
  std::array<std::atomic<HandleRecord*>, kSlots> slots_{};
};

// A slot taken by an open that has not succeeded yet: emptied at scope exit
// unless Keep() hands it to the caller.
class ScopedSlot {
 public:
  explicit ScopedSlot(int slot) : slot_(slot) {}
  ~ScopedSlot() {
    if (slot_ >= 0) HandleTable::Instance().Release(slot_);
  }
  ScopedSlot(const ScopedSlot&) = delete;
  ScopedSlot& operator=(const ScopedSlot&) = delete;
  int get() const { return slot_; }
  int Keep() {
    const int slot = slot_;
    slot_ = -1;
    return slot;
  }

 private:
  int slot_;
};

}  // namespace vexa
