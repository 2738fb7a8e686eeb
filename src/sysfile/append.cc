// Adding cases to a finished file. Uncompressed data continues after the
// last whole case. Byte-code data continues the command block that holds
// the end of the last case: the block's used control bytes are loaded back
// into the encoder, and writing restarts at the block's start, so the file
// comes out as if all its cases had been written at once. Zlib data is
// byte-code data read and written through the zlib stream, which takes up
// the zlib block that holds that start again.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "io/file_stream.h"
#include "io/zlib_stream.h"
#include "support/errors.h"
#include "layout/long_strings.h"
#include "sysfile/bytecode.h"
#include "sysfile/case_writer.h"
#include "sysfile/compressed_reader.h"
#include "sysfile/save_ds.h"

namespace vexa {
namespace {

// Where byte-code data ends: the compressed position after the last whole
// case, and the number of cases. Starts from the last recorded case start
// and records the starts it walks over.
struct CompressedEnd {
  int64_t position;
  int64_t cases;
};

CompressedEnd FindCompressedEnd(VEXA_StrBaseIO& stream, int64_t data_start,
                                const FileHeader& header,
                                SparseRowIndex& index) {
  CompressedSystemFile reader(stream, data_start, header, index);
  const SparseRowIndex::Entry start =
      index.Lookup(std::numeric_limits<int64_t>::max());
  reader.SeekPosition(start.position);
  int64_t cases = start.case_number;
  int64_t position = reader.Tell();
  while (reader.SkipCase()) {
    index.Record(cases, position);
    ++cases;
    position = reader.Tell();
  }
  return {position, cases};
}

// The slot values of the first `used` control bytes of a block; false when
// one of them is a filler or end-of-block code, which no encoder continues.
bool BlockValues(const char* block, int used, std::string* values) {
  const auto* control = reinterpret_cast<const uint8_t*>(block);
  if (std::any_of(control, control + used, [](uint8_t c) {
        return c == kCodeFiller || c == kCodeEndOfBlock;
      })) {
    return false;
  }
  // Each of the codes gives one value now.
  ByteCodeBlock decoder{control, block + kKeySize, 0};
  const size_t start = values->size();
  const auto count = static_cast<size_t>(used);
  values->resize(start + count * 8);
  DecodeFromBlock<false>(decoder, values->data() + start, 0, count, nullptr);
  return true;
}

// The layout must account for every slot of the dictionary in both the
// file's case layout and memory's.
void CheckLayout(const CaseLayout& layout, const Dictionary& dictionary) {
  int64_t extra = 0;
  for (const LongStringPlace& s : layout.strings) {
    extra += long_strings::FileSlots(s.width) - long_strings::MemorySlots(s.width);
  }
  if (layout.memory_slots != dictionary.SlotCount() ||
      layout.file_slots != layout.memory_slots + extra) {
    ThrowFileError(kErrBadStructure,
                   "the header gives {} slots a case where the variables "
                   "take {}",
                   layout.file_slots, dictionary.SlotCount() + extra);
  }
}

// Where byte-code data takes up again: after `cases` whole cases, at
// `offset` from the data start. When the block that holds the end of the
// last case can be continued, `offset` is the block's start, `block` holds
// its bytes and `values` the values of its used codes; otherwise `values`
// is empty.
struct ResumePoint {
  int64_t cases = 0;
  int64_t offset = 0;
  std::string values;
  char block[kMaxBlockSize] = {};
};

ResumePoint FindResumePoint(VEXA_StrBaseIO& out, int64_t data_start,
                            const FileHeader& header, SparseRowIndex& index) {
  const CompressedEnd end = FindCompressedEnd(out, data_start, header, index);
  const int64_t block = end.position & ~int64_t{7};
  const int used = static_cast<int>(end.position & 7);
  ResumePoint resume;
  resume.cases = end.cases;
  resume.offset = block;
  if (used > 0) {
    out.Seek(data_start + block, SEEK_SET);
    const size_t got = out.Read(resume.block, sizeof resume.block);
    if (got < static_cast<size_t>(kKeySize)) {
      ThrowFileError(kErrTruncated,
                     "the file ends inside the control bytes of the last "
                     "block of case data, at offset {}",
                     data_start + block);
    }
    const auto* control = reinterpret_cast<const uint8_t*>(resume.block);
    // A block whose used part cannot be continued stays as it is: its
    // remaining control bytes are fillers, and the new cases start with
    // the next block.
    if (!BlockValues(resume.block, used, &resume.values) ||
        !CaseWriter::CanResume(resume.values, control)) {
      resume.offset = block + kKeySize + 8 * CountLiterals(control);
      resume.values.clear();
    }
  }
  return resume;
}

}  // namespace

std::unique_ptr<SystemFileDataSource> SystemFileDataSource::OpenForAppending(
    const std::string& path, const std::string& password) {
  std::unique_ptr<SystemFileDataSource> source = OpenForReading(path, password, true);
  source->state_ = kFinished;
  return source;
}

void SystemFileDataSource::ReopenForAppending() {
  VEXA_ASSERT(state_ == kFinished);
  std::unique_ptr<VEXA_FileStream> stream = OpenFile(file_name_, "r+");
  if (!stream) {
    ThrowFileError(kErrReopen,
                   "the file \"{}\" cannot be opened again to add cases",
                   file_name_);
  }
  // The file changes in place: what the additions write over is kept, so
  // that a failed addition puts the file back (FinishWriting). For a
  // protected file these are the encrypted blocks that hold the counts and
  // the end of the data.
  Use(stream->SharedFile()).KeepUndo();
  // Zlib case data is read and continued through the zlib stream; the
  // dictionary part (the counts patched at the end) through the plain one.
  std::unique_ptr<zcmpsFilestr> zlib;
  if (header_.compression == kCompressionZlib) {
    // The zlib stream writes its blocks into the file itself. The plain
    // stream must hold none of the old bytes in its buffer (a protected
    // file is read through it when it is checked), or writing that buffer
    // back with the counts would put them over the new blocks.
    stream->SetBuffered(false);
    zlib = OpenZlibCaseData(*stream, data_start_, header_.byte_swapped);
  }
  VEXA_StrBaseIO& out = zlib ? static_cast<VEXA_StrBaseIO&>(*zlib) : *stream;
  auto save = std::make_unique<SaveDS>(*this, std::move(stream));
  // The cases go into the layout the file was read with.
  CheckLayout(header_.case_layout, dictionary_);
  save->UseLayout(header_.case_layout);
  // The count is patched into the unit that holds it, never past the
  // record: the second of two units, or the only one.
  if (header_.subtype16_position > 0) {
    save->SetNCasesPosition(header_.subtype16_position +
                            (header_.subtype16_units == 2 ? 8 : 0));
  }

  if (header_.compression == kCompressionNone) {
    const int64_t case_bytes = int64_t{save->FileSlots()} * 8;
    const int64_t data_bytes = std::max<int64_t>(out.Size() - data_start_, 0);
    const int64_t cases = data_bytes / case_bytes;
    out.Seek(data_start_ + cases * case_bytes, SEEK_SET);
    save->StartCases(cases, cases * case_bytes);
  } else {
    const ResumePoint resume =
        FindResumePoint(out, data_start_, header_, row_index_);
    if (zlib) {
      // Writing is sequential from here: the zlib stream takes up its data
      // at the offset, writing again the block that holds it.
      zlib->ReopenForAppending(data_start_ + resume.offset);
      save->UseZlib(std::move(zlib));
    } else {
      out.Seek(data_start_ + resume.offset, SEEK_SET);
    }
    CaseWriter& cases = save->StartCases(resume.cases, resume.offset);
    if (!resume.values.empty()) {
      cases.ResumeBlock(resume.values,
                        reinterpret_cast<const uint8_t*>(resume.block));
    }
  }
  save_ = std::move(save);
  state_ = kWriting;
}

}  // namespace vexa
