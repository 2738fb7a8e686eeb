#include "sysfile/case_iterator.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "support/endian.h"
#include "support/errors.h"

namespace vexa {

SystemFileDataSource::Iterator::Iterator(SystemFileDataSource& source,
                                         char* buffer)
    : source_(source),
      stream_(*source.Stream()),
      data_start_(source.DataStart()),
      header_(source.Header()),
      case_(source.GetDictionary(), buffer),
      file_slots_(header_.nominal_case_size > 0
                      ? static_cast<size_t>(header_.nominal_case_size)
                      : 0) {
  // Zlib case data is read through the zlib stream, which a file opened
  // from another stream (in memory) does not have.
  if (header_.compression == kCompressionZlib &&
      stream_.ZlibBlocks().index == nullptr) {
    ThrowFileError(kErrBadStructure,
                   "zlib-compressed case data is read from files only");
  }
  const int64_t memory_slots = source.GetDictionary().SlotCount();
  if (header_.case_layout.Same()) {
    if (header_.nominal_case_size != memory_slots) {
      ThrowFileError(kErrBadStructure,
                     "the header gives {} slots a case where the variables "
                     "take {}",
                     header_.nominal_case_size, memory_slots);
    }
  } else {
    dechunker_ = std::make_unique<SystemFileDechunker>(header_.case_layout);
    dechunker_->Validate(header_.nominal_case_size, memory_slots);
    raw_.reset(new char[file_slots_ * 8]);
  }
  if (header_.byte_swapped && !header_.numeric_swap_map.empty()) {
    VEXA_ASSERT(header_.numeric_swap_map.size() >= file_slots_);
    swap_map_ = header_.numeric_swap_map.data();
  }
  // Zlib case data is byte-code data too, read through the zlib
  // stream that the data source holds.
  if (header_.compression == kCompressionByteCode ||
      header_.compression == kCompressionZlib) {
    compressed_ = std::make_unique<CompressedSystemFile>(
        stream_, data_start_, header_, source.RowIndex());
  } else {
    window_ = std::make_unique<CaseDataWindow>(stream_, data_start_);
    if (!raw_ && swap_map_ == nullptr) copy_bytes_ = file_slots_ * 8;
  }
}

SystemFileDataSource::Iterator::~Iterator() = default;

bool SystemFileDataSource::Iterator::Seek(int64_t case_number) {
  if (case_number < 0) return false;
  requested_ = case_number;
  return true;
}

int64_t SystemFileDataSource::Iterator::NextCasePosition() {
  if (file_slots_ == 0) return -1;
  if (!compressed_) {
    const int64_t case_len = static_cast<int64_t>(file_slots_ * 8);
    return case_len > 0 && requested_ <= std::numeric_limits<int64_t>::max() / case_len
               ? requested_ * case_len
               : -1;
  }
  compressed_->SetTarget(requested_);
  const int64_t position = compressed_->TargetPosition();
  current_ = compressed_->CurrentCase();
  requested_ = compressed_->TargetCase();
  return position;
}

bool SystemFileDataSource::Iterator::SeekPosition(int64_t case_number, int64_t position) {
  if (case_number < 0 || position < 0) return false;
  if (!compressed_) return Seek(case_number);  // every case's place is known
  compressed_->StartAt(case_number, position);
  current_ = requested_ = case_number;
  return true;
}

bool SystemFileDataSource::Iterator::ReadNext() {
  if (CopyNext(case_.Data())) return true;
  if (file_slots_ == 0) return false;
  char* dest = raw_ ? raw_.get() : case_.Data();
  if (!(compressed_ ? ReadCompressed(dest) : ReadUncompressed(dest))) {
    return false;
  }
  if (raw_) dechunker_->Copy(raw_.get(), case_.Data());
  return true;
}

bool SystemFileDataSource::Iterator::ReadNextInto(char* dest) {
  if (CopyNext(dest)) return true;
  if (raw_) return VEXA_InputCaseIterator::ReadNextInto(dest);
  if (file_slots_ == 0) return false;
  return compressed_ ? ReadCompressed(dest) : ReadUncompressed(dest);
}

size_t SystemFileDataSource::Iterator::ReadCasesInto(char* dest, size_t count, size_t& done) {
  done = 0;
  if (raw_ || file_slots_ == 0) return VEXA_InputCaseIterator::ReadCasesInto(dest, count, done);
  const size_t case_len = file_slots_ * 8;
  if (compressed_) {
    compressed_->SetTarget(requested_);
    const size_t got = compressed_->ReadCases(dest, count, done);
    current_ = compressed_->CurrentCase();
    requested_ = compressed_->TargetCase();
    if (got < count) EndOfData(current_);
    return got;
  }
  while (done < count) {
    // The whole cases the window holds, in one copy; a case that crosses
    // the window's end, a jump, the other byte order or the end of the
    // data go the one-case way.
    const size_t whole =
        requested_ == current_ && swap_map_ == nullptr
            ? std::min(window_->Available() / case_len, count - done)
            : 0;
    if (whole == 0) {
      if (!ReadUncompressed(dest)) break;
      ++done;
      dest += case_len;
      continue;
    }
    std::memcpy(dest, window_->Peek(), whole * case_len);
    window_->Advance(whole * case_len);
    current_ += static_cast<int64_t>(whole);
    requested_ += static_cast<int64_t>(whole);
    done += whole;
    dest += whole * case_len;
  }
  return done;
}

size_t SystemFileDataSource::Iterator::ReadCasesAt(char* dest, size_t count, size_t& done,
                                                   const char*& at) {
  done = 0;
  at = dest;
  if (copy_bytes_ == 0 || count == 0) return ReadCasesInto(dest, count, done);
  // The whole cases the window holds, left there; when it holds none (or
  // after a jump), copied the way of ReadCasesInto.
  const size_t whole =
      requested_ == current_ ? std::min(window_->Available() / copy_bytes_, count) : 0;
  if (whole == 0) return ReadCasesInto(dest, count, done);
  at = window_->Peek();
  window_->Advance(whole * copy_bytes_);
  current_ += static_cast<int64_t>(whole);
  requested_ += static_cast<int64_t>(whole);
  done = whole;
  return whole;
}

bool SystemFileDataSource::Iterator::ReadCompressed(char* dest) {
  compressed_->SetTarget(requested_);
  const bool read = compressed_->ReadCase(dest);
  current_ = compressed_->CurrentCase();
  requested_ = compressed_->TargetCase();
  if (!read) EndOfData(current_);
  return read;
}

bool SystemFileDataSource::Iterator::ReadUncompressed(char* dest) {
  const size_t case_len = file_slots_ * 8;
  if (requested_ != current_) {
    const int64_t last_start =
        (std::numeric_limits<int64_t>::max() - data_start_) /
        static_cast<int64_t>(case_len);
    current_ = requested_;
    if (requested_ >= last_start) {
      EndOfData(current_);
      return false;
    }
    window_->SeekTo(requested_ * static_cast<int64_t>(case_len));
  }
  const size_t got = window_->Read(dest, case_len);
  if (got == 0) {
    EndOfData(current_);
    return false;
  }
  if (got != case_len) {
    // Cases are counted from 0, as vexaSeekNextCase counts them.
    SystemFileException e(
        kErrTruncated, Sentence("the file ends after {} of the case's {} bytes",
                                got, case_len));
    const int64_t offset =
        data_start_ + current_ * static_cast<int64_t>(case_len);
    e.SetPlace(Sentence("case {} at offset {}", current_, offset));
    throw e;
  }
  if (swap_map_ != nullptr) {
    for (size_t s = 0; s < file_slots_; ++s) {
      if (swap_map_[s]) Swap8InPlace(dest + s * 8);
    }
  }
  ++current_;
  ++requested_;
  return true;
}

void SystemFileDataSource::Iterator::EndOfData(int64_t cases_found) {
  if (!compressed_) {
    // A seek beyond the end finds no more cases than the data holds.
    const int64_t data_bytes = stream_.Size() - data_start_;
    const int64_t whole = data_bytes > 0
                              ? data_bytes / static_cast<int64_t>(file_slots_ * 8)
                              : 0;
    if (cases_found > whole) cases_found = whole;
  }
  source_.NoteEndOfData(cases_found);
}

}  // namespace vexa
