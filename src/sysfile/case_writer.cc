#include "sysfile/case_writer.h"

#include <algorithm>
#include <cstring>

#include "support/errors.h"

namespace vexa {

CaseWriter::CaseWriter(VEXA_StrBaseIO& stream, size_t slots, bool compressed,
                       SparseRowIndex& index, int64_t first_case,
                       int64_t data_offset)
    : stream_(stream),
      slots_(slots),
      compressed_(compressed),
      index_(index),
      encoder_(*this),
      case_number_(first_case),
      block_offset_(data_offset) {}

bool CaseWriter::CanResume(const std::string& values, const uint8_t* control) {
  const size_t count = values.size() / 8;
  if (count >= static_cast<size_t>(kKeySize)) return false;
  for (size_t i = 0; i < count; ++i) {
    uint64_t bits;
    std::memcpy(&bits, values.data() + i * 8, 8);
    if (EncodeSlot(bits) != control[i]) return false;
  }
  return true;
}

bool CaseWriter::ResumeBlock(const std::string& values,
                             const uint8_t* control) {
  VEXA_ASSERT(compressed_ && encoder_.Pending() == 0);
  if (!CanResume(values, control)) return false;
  encoder_.AppendSlots(values.data(), values.size() / 8);
  return true;
}

void CaseWriter::WriteBytes(const char* bytes, size_t size) {
  size_t done = 0;
  try {
    done = stream_.Write(bytes, size);
  } catch (const ErrorText&) {
    done = 0;
  }
  if (done != size) {
    ThrowFileError(kErrRawCaseWrite,
                   "only {} of {} bytes of case data could be written", done,
                   size);
  }
}

char* CaseWriter::BlockSpace(size_t least, size_t* room) {
  try {
    return stream_.WriteSpace(least, room);
  } catch (const ErrorText&) {
    ThrowFileError(kErrRawCaseWrite,
                   "case data could not be written: the stream's buffer could not be written out");
  }
}

void CaseWriter::CommitBlocks(size_t size) {
  block_offset_ += static_cast<int64_t>(size);
  try {
    stream_.CommitSpace(size);
  } catch (const ErrorText&) {
    ThrowFileError(kErrRawCaseWrite,
                   "{} bytes of case data could not be written", size);
  }
}

void CaseWriter::WriteBlocks(const char* blocks, size_t size) {
  block_offset_ += static_cast<int64_t>(size);
  WriteBytes(blocks, size);
}

void CaseWriter::Write(const char* file_case) {
  if (!compressed_) {
    WriteBytes(file_case, slots_ * 8);
  } else {
    index_.Record(case_number_, block_offset_ + static_cast<int64_t>(encoder_.Held()) +
                                     encoder_.Pending());
    encoder_.AppendSlots(file_case, slots_);
    ++case_number_;
    dirty_ = true;
  }
  ++written_;
}

void CaseWriter::WriteMany(const char* file_cases, size_t count) {
  if (!compressed_) {
    WriteBytes(file_cases, count * slots_ * 8);
    written_ += count;
    return;
  }
  // Runs of cases encoded as one stream of slots, so that most blocks are
  // built eight slots at a time; the start of each run is offered to the
  // index, as a reader records the runs it decodes.
  const size_t run = std::max<size_t>(1, kRunSlots / slots_);
  for (size_t done = 0; done < count; done += run) {
    const size_t cases = std::min(run, count - done);
    index_.Record(case_number_, block_offset_ + static_cast<int64_t>(encoder_.Held()) +
                                    encoder_.Pending());
    encoder_.AppendSlots(file_cases + done * slots_ * 8, cases * slots_);
    case_number_ += static_cast<int64_t>(cases);
    written_ += cases;
    dirty_ = true;
  }
}

void CaseWriter::Finish() {
  if (!dirty_) return;
  encoder_.Flush();
  stream_.Flush();
  dirty_ = false;
}

}  // namespace vexa
