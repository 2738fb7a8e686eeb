#include "api/handle_table.h"

#include <cstring>
#include <new>
#include <type_traits>

#include "api/api_error.h"

#include "dict/names.h"
#include "sysfile/system_file_data_source.h"
#include "vexaio.h"

namespace vexa {

HandleRecord::HandleRecord(HandleMode mode,
                           std::unique_ptr<VEXA_DataSource> source,
                           SystemFileDataSource* sysfile, bool converted)
    : data_source_(std::move(source)),
      sysfile_(sysfile),
      converted_(converted),
      mode_(mode),
      header_committed_(mode != HandleMode::kWrite) {}

// A record destroyed without Finish() (an open that failed) finishes its
// file here, where nobody hears of a failure.
HandleRecord::~HandleRecord() {
  try {
    Finish();
  } catch (...) {
  }
}

void HandleRecord::Finish() {
  if (mode_ == HandleMode::kRead || sysfile_ == nullptr) return;
  sysfile_->FinishWriting();
}

void HandleRecord::Abandon() {
  if (mode_ == HandleMode::kRead || sysfile_ == nullptr) return;
  sysfile_->AbandonWriting();
}

int HandleRecord::FindVariable(std::string_view name) const {
  auto it = name_index_.find(NameKey(name));
  return it == name_index_.end() ? -1 : it->second;
}

bool HandleRecord::BuildNameIndex() {
  name_index_.clear();
  const Dictionary& dict = data_source_->GetDictionary();
  name_index_.reserve(static_cast<size_t>(dict.Count()));
  for (int i = 0; i < dict.Count(); ++i) {
    // The variable keeps its key (the trimmed, upper-case name), the same
    // key that callers' names are looked up by.
    if (!name_index_.emplace(dict.At(i).NameKey(), i).second) {
      name_index_.clear();
      return false;
    }
  }
  return true;
}

void HandleRecord::AddToNameIndex(const std::string& key, int position) {
  name_index_.emplace(key, position);
}

void HandleRecord::BuildVariableDirectory() {
  const Dictionary& dict = data_source_->GetDictionary();
  variable_directory_.clear();
  variable_directory_.reserve(static_cast<size_t>(dict.Count()));
  for (int i = 0; i < dict.Count(); ++i) {
    variable_directory_.emplace_back(dict.FirstSlot(i), dict.At(i).Type());
  }
  directory_end_ = static_cast<double>(variable_directory_.size()) + 1.0;
}

bool HandleRecord::CreateCaseIterator() {
  case_bytes_ = static_cast<size_t>(Dict().SlotCount()) * 8;
  if (case_bytes_ == 0) return false;
  case_buffer_.reset(new (std::nothrow) char[case_bytes_]);
  if (!case_buffer_) return false;
  VEXA_Case::Clear(Dict(), case_buffer_.get());
  iterator_ = data_source_->CreateIterator(case_buffer_.get());
  return iterator_ != nullptr;
}

char* HandleRecord::BatchBuffer(size_t bytes) {
  if (bytes > batch_bytes_) {
    batch_buffer_.reset();
    batch_buffer_ = std::make_unique_for_overwrite<char[]>(bytes);
    batch_bytes_ = bytes;
  }
  return batch_buffer_.get();
}

void HandleRecord::StartCase() {
  if (!case_buffer_) {
    size_t bytes = static_cast<size_t>(Dict().SlotCount()) * 8;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[bytes]);
    std::unique_ptr<char[]> empty(new (std::nothrow) char[bytes]);
    if (!buffer || !empty) throw ApiError(VEXA_E_NO_MEMORY);
    VEXA_Case::Clear(Dict(), empty.get());
    case_buffer_ = std::move(buffer);
    case_template_ = std::move(empty);
    case_bytes_ = bytes;
  }
  if (case_state_ != kCurrentCase) {
    std::memcpy(case_buffer_.get(), case_template_.get(), case_bytes_);
    case_state_ = kCurrentCase;
  }
}

void HandleRecord::RefuseVariableHandle() const {
  if (variable_directory_.empty()) throw ApiError(VEXA_E_HEADER_NOT_COMMITTED);
  throw ApiError(VEXA_E_BAD_VAR_HANDLE);
}

constinit HandleTable HandleTable::instance_;
static_assert(std::is_trivially_destructible_v<HandleTable>,
              "the table outlives every handle: nothing of it runs at exit");

int HandleTable::Allocate(std::unique_ptr<HandleRecord> record, int* handle) {
  *handle = -1;
  std::unique_lock<std::mutex> guard(lock_);
  for (int i = 0; i < kSlots; ++i) {
    auto& slot = slots_[static_cast<size_t>(i)];
    if (slot.load(std::memory_order_relaxed) == nullptr) {
      slot.store(record.release(), std::memory_order_release);
      *handle = i;
      return VEXA_OK;
    }
  }
  // The record is finished outside the lock.
  guard.unlock();
  record.reset();
  return VEXA_E_TOO_MANY_FILES;
}

int HandleTable::Take(int handle, bool writers_only,
                      std::unique_ptr<HandleRecord>* record) {
  std::lock_guard<std::mutex> guard(lock_);
  if (static_cast<unsigned>(handle) >= static_cast<unsigned>(kSlots)) return VEXA_E_BAD_HANDLE;
  auto& slot = slots_[static_cast<size_t>(handle)];
  HandleRecord* r = slot.load(std::memory_order_relaxed);
  if (r == nullptr) return VEXA_E_BAD_HANDLE;
  if (writers_only && r->mode() == HandleMode::kRead) return VEXA_E_OPENED_FOR_READ;
  slot.store(nullptr, std::memory_order_relaxed);
  record->reset(r);
  return VEXA_OK;
}

int HandleTable::Release(int handle, std::exception_ptr* failure) {
  std::unique_ptr<HandleRecord> record;
  // The slot is emptied even when finishing the file fails.
  if (const int code = Take(handle, false, &record); code != VEXA_OK) return code;
  // Finishing a written file takes time: other threads go on meanwhile.
  try {
    record->Finish();
  } catch (...) {
    if (failure != nullptr) *failure = std::current_exception();
  }
  record.reset();
  return VEXA_OK;
}

int HandleTable::Abandon(int handle) {
  std::unique_ptr<HandleRecord> record;
  const int code = Take(handle, true, &record);
  if (code == VEXA_OK) record->Abandon();
  return code;
}

bool HandleTable::AnyOpen() const {
  std::lock_guard<std::mutex> guard(lock_);
  return AnyOpenLocked();
}

bool HandleTable::AnyOpenLocked() const {
  for (const auto& slot : slots_) {
    if (slot.load(std::memory_order_relaxed) != nullptr) return true;
  }
  return false;
}

bool HandleTable::WhileNoneOpen(const std::function<void()>& change) {
  std::lock_guard<std::mutex> guard(lock_);
  if (AnyOpenLocked()) return false;
  change();
  return true;
}

}  // namespace vexa
