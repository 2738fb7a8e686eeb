#include "sysfile/system_file_data_source.h"

#include <algorithm>

#include "crypt/cipher.h"
#include "crypt/crypt_file_stream.h"
#include "crypt/password_crypt.h"
#include "io/file_stream.h"
#include "io/journal.h"
#include "io/posix_file.h"
#include "io/zlib_stream.h"
#include "support/errors.h"
#include "sysfile/case_iterator.h"
#include "sysfile/dictionary_reader.h"
#include "sysfile/file_kind.h"
#include "sysfile/header_reader.h"
#include "sysfile/save_ds.h"
#include "text/code_pages.h"

namespace vexa {

// Forwards to the file's iterator and keeps the data source's count of
// live iterators, which case writes check.
class SystemFileDataSource::TrackedIterator final : public Iterator {
 public:
  TrackedIterator(SystemFileDataSource& source, char* buffer)
      : Iterator(source, buffer), count_(source.open_iterators_) {
    ++count_;
  }
  ~TrackedIterator() override { --count_; }

 private:
  int& count_;
};

SystemFileDataSource::~SystemFileDataSource() {
  try {
    FinishWriting();
  } catch (...) {
    // Closing cannot report; a caller that wants to know finishes first.
  }
  crypt::Cleanse(password_.data(), password_.size());
}

std::unique_ptr<VEXA_FileStream> SystemFileDataSource::OpenFile(const std::string& path,
                                                                const std::string& mode) {
  if (password_.empty()) {
    auto stream = std::make_unique<VEXA_FileStream>();
    if (!stream->Open(path, mode)) return nullptr;
    return stream;
  }
  std::string forms[2] = {password_, crypt::DecodePassword(password_)};
  std::unique_ptr<crypt::CryptFileStream> stream;
  auto cleanse = [&forms] {
    for (std::string& form : forms) crypt::Cleanse(form.data(), form.size());
  };
  try {
    // A form the file refuses makes way for the other; any other failure
    // is the reason.
    for (int k = 0; k < 2 && !stream; ++k) {
      const int form = decoded_password_first_ ? 1 - k : k;
      if (forms[form].empty()) continue;
      auto attempt = std::make_unique<crypt::CryptFileStream>();
      try {
        attempt->Open(path, forms[form], mode);
      } catch (const ErrorText& e) {
        if (e.number() != kErrBadPassword) throw;
        continue;
      }
      decoded_password_first_ = form == 1;
      stream = std::move(attempt);
    }
  } catch (...) {
    cleanse();
    throw;
  }
  cleanse();
  if (!stream) throw ErrorText(kErrBadPassword, path);
  return stream;
}

std::unique_ptr<SystemFileDataSource> SystemFileDataSource::OpenForReading(
    const std::string& path, const std::string& password, bool writer_lock_held) {
  // Every open of a file, for reading, adding cases or copying its
  // dictionary, comes here first: an append that a crash interrupted is
  // undone before anything is read.
  RecoverInterruptedChange(path, writer_lock_held);
  SystemFileDataSource opener;
  opener.password_ = password;
  std::unique_ptr<VEXA_FileStream> stream = opener.OpenFile(path, "r");
  if (!stream) throw ErrorText(kErrReadFailed, path);
  auto source = OpenForReading(std::move(stream), path);
  source->password_ = password;
  source->decoded_password_first_ = opener.decoded_password_first_;
  return source;
}

std::unique_ptr<SystemFileDataSource> SystemFileDataSource::OpenForReading(
    std::unique_ptr<VEXA_StrBaseIO> stream, std::string file_name) {
  VEXA_ASSERT(stream != nullptr);
  std::unique_ptr<SystemFileDataSource> source(new SystemFileDataSource);
  source->file_name_ = std::move(file_name);

  try {
    if (DetectFileKind(*stream) == FileKind::kENCRYPTED) {
      ThrowFileError(kErrNeedsPassword,
                     "the file is encrypted and no password was given");
    }
    ReadHeader(*stream, source->header_, source->dictionary_);
  } catch (SystemFileException& e) {
    e.SetPlace("file header");
    throw;
  }
  ReadDictionary(*source, *stream, source->header_);
  source->data_start_ = stream->Tell();
  if (source->header_.compression == kCompressionZlib && stream->SharedFile()) {
    source->stream_ = OpenZlibCaseData(*stream, source->data_start_,
                                       source->header_.byte_swapped);
  } else {
    // Case iterators read the data through windows of their own; a stream
    // buffer beneath them would only copy every byte once more.
    stream->SetBuffered(false);
    source->stream_ = std::move(stream);
  }
  return source;
}

std::unique_ptr<zcmpsFilestr> SystemFileDataSource::OpenZlibCaseData(
    VEXA_StrBaseIO& stream, int64_t case_start, bool swap) {
  RefPtr<VEXA_File> file = stream.SharedFile();
  if (!file || !file->IsOpen()) {
    ThrowFileError(kErrBadStructure,
                   "zlib-compressed case data is read from files only");
  }
  auto zlib = std::make_unique<zcmpsFilestr>(std::move(file));
  try {
    zlib->BeginReading(case_start, swap);
  } catch (SystemFileException& e) {
    e.SetPlace(Sentence("zlib case data at offset {}", case_start));
    throw;
  }
  return zlib;
}

std::unique_ptr<SystemFileDataSource> SystemFileDataSource::CreateForWriting(
    const std::string& path, const std::string& password) {
  std::unique_ptr<SystemFileDataSource> source(new SystemFileDataSource);
  source->writer_ = true;
  source->file_name_ = path;
  source->password_ = password;
  source->header_.encoding_name = text::InterfaceEncodingName();
  return source;
}

std::string SystemFileDataSource::FileEncoding() const {
  // The encoding record's text is the file's encoding, whether or not a
  // converter knows the name.
  if (writer_ || !header_.encoding_name.empty()) return header_.encoding_name;
  std::string name = text::NameOfCodePage(header_.machine.character_code);
  return name.empty() ? text::CurrentEncodingName() : name;
}

std::unique_ptr<VEXA_InputCaseIterator> SystemFileDataSource::CreateIterator(
    char* buffer) {
  if (writer_ || !stream_) return nullptr;
  return std::make_unique<TrackedIterator>(*this, buffer);
}

void SystemFileDataSource::CommitHeader() {
  if (!writer_ || state_ != kDefining) throw ErrorText(kErrBadState);

  // A new file is written beside the file it replaces, a protected one
  // encrypted as it is written: the old file stays until the new one is
  // complete, at the close.
  std::unique_ptr<SaveDS> save;
  std::vector<std::pair<std::string, std::string>> name_table;
  try {
    std::unique_ptr<VEXA_FileStream> stream;
    if (password_.empty()) {
      stream = std::make_unique<VEXA_FileStream>();
      replacement_.Create(file_name_, *stream);
    } else {
      auto protected_stream = std::make_unique<crypt::CryptFileStream>();
      replacement_.Create(file_name_, *protected_stream);
      protected_stream->Protect(password_);
      stream = std::move(protected_stream);
    }
    RefPtr<VEXA_File> file = stream->SharedFile();
    save = std::make_unique<SaveDS>(*this, std::move(stream));
    save->WriteDictionary();
    data_start_ = save->Stream().Tell();
    if (header_.compression == kCompressionZlib) {
      // Byte-code compressed cases, cut into zlib blocks.
      auto zlib = std::make_unique<zcmpsFilestr>(file);
      zlib->BeginWriting(data_start_);
      save->UseZlib(std::move(zlib));
    }
    save->StartCases(0, 0);
    name_table.reserve(header_.name_map.size());
    for (const auto& [name, short_name] : header_.name_map) {
      name_table.emplace_back(short_name, name);
    }
  } catch (...) {
    // A failed commit leaves no file behind: half a dictionary would look
    // like a damaged file to every reader.
    save.reset();
    replacement_.Drop();
    throw;
  }
  name_table_ = std::move(name_table);
  auto& map = header_.name_map;
  std::stable_sort(map.begin(), map.end(), [](const auto& a, const auto& b) {
    return a.first < b.first;
  });
  save_ = std::move(save);
  state_ = kWriting;
}

void SystemFileDataSource::WriteCase(const char* slots) { WriteCases(slots, 1); }

void SystemFileDataSource::WriteCases(const char* slots, size_t count) {
  if (open_iterators_ > 0) throw ErrorText(kErrBadState);
  if (write_failure_) std::rethrow_exception(write_failure_);
  try {
    if (state_ == kDefining) CommitHeader();
    if (state_ == kFinished) ReopenForAppending();
    if (count == 1) {  // a case a call: the short way, taken per case
      save_->WriteCase(slots);
    } else {
      save_->WriteCases(slots, count);
    }
  } catch (...) {
    // Cases reported written may be lost with the buffer that failed, and
    // a case write that failed half way leaves its block unfinished.
    write_failure_ = std::current_exception();
    throw;
  }
}

int SystemFileDataSource::FinishWriting() {
  if (state_ != kWriting) {
    if (write_failure_) std::rethrow_exception(write_failure_);
    return kNotWriting;
  }
  std::unique_ptr<SaveDS> save = std::move(save_);
  state_ = kFinished;
  // A file is made durable before it replaces an old one or, added to in
  // place, before the addition counts as done (its journal is then
  // removed, io/journal.h); a file new under its name has nothing to lose
  // and is left to the system's own pace. A protected file's last block is
  // written first.
  RefPtr<VEXA_File> plain = save->Stream().SharedFile();
  try {
    if (write_failure_) std::rethrow_exception(write_failure_);
    save->Complete();
    save->Stream().Flush();
    if (plain && replacement_.Active()) {
      replacement_.Finish(save->Stream());
      // A journal of the file replaced went with it.
      RemoveStaleJournal(file_name_);
    } else if (plain && !Use(plain).Commit()) {
      throw ErrorText(kErrWriteFailed, file_name_);
    }
    save->Stream().Close();
    save.reset();
    plain.Reset();  // the last reference: the descriptor is closed
    if (replacement_.Active()) replacement_.Replace();
  } catch (...) {
    // Nothing of a failed write stays: the new file goes, a file added to
    // is put back as it was. The workers end before that.
    save.reset();
    if (plain) Use(plain).Rollback();
    plain.Reset();
    replacement_.Drop();
    throw;
  }
  return 0;
}

void SystemFileDataSource::AbandonWriting() {
  if (state_ != kWriting) return;
  // Finishing with a failure on record takes the failure's way out, which
  // undoes everything; that failure is the one raised again.
  if (!write_failure_) {
    write_failure_ = std::make_exception_ptr(
        ErrorText(kErrWriteFailed, file_name_));
  }
  try {
    FinishWriting();
  } catch (...) {
  }
}

bool SystemFileDataSource::FindShortName(std::string_view long_name,
                                         std::string* short_name) const {
  const auto& map = header_.name_map;
  // A file opened from disk answers from the table it was read with, also
  // once appending has rebuilt a name map for its own use.
  if (writer_ && state_ != kDefining && !map.empty()) {
    // Sorted by the caller's name once the commit is done.
    auto it = std::lower_bound(
        map.begin(), map.end(), long_name,
        [](const auto& entry, std::string_view name) { return entry.first < name; });
    if (it == map.end() || it->first != long_name) return false;
    if (short_name != nullptr) *short_name = it->second;
    return true;
  }
  // Entries are (short name, long name) pairs as the long names record
  // lists them.
  for (const auto& [short_form, long_form] : name_table_) {
    if (long_form == long_name) {
      if (short_name != nullptr) *short_name = short_form;
      return true;
    }
  }
  return false;
}

}  // namespace vexa
