#include "sysfile/save_ds.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "ext/date_info.h"
#include "ext/extension_record.h"
#include "ext/registry.h"
#include "io/zlib_stream.h"
#include "support/errors.h"
#include "sysfile/case_writer.h"
#include "sysfile/dictionary_writer.h"
#include "sysfile/header_reader.h"
#include "layout/long_strings.h"
#include "layout/write_plan.h"
#include "sysfile/layout.h"
#include "sysfile/movers.h"
#include "text/code_pages.h"

namespace vexa {
namespace {

constexpr int kMinExtensionTable = 26;  // subtypes 1-25 always exist
constexpr int64_t kFirstUnrecordedCount = int64_t{1} << 31;

// The extension records of a new file, indexed by subtype: each handler
// encodes the plan, the subtypes without one get the raw contents the
// dictionary keeps.
std::vector<SystemFileExtensionRecord> BuildExtensionRecords(
    const ExtensionWriteContext& file) {
  const auto& raw = file.dictionary.Extensions().Entries();
  const int highest_raw = raw.empty() ? 0 : raw.rbegin()->first;
  const int size = std::max(kMinExtensionTable, highest_raw + 1);
  std::vector<SystemFileExtensionRecord> table(static_cast<size_t>(size));
  for (int subtype = 1; subtype < size; ++subtype) {
    DispatchExtensionWrite(subtype, file, table[static_cast<size_t>(subtype)]);
  }
  return table;
}

}  // namespace

struct SystemFileDataSource::SaveDS::State {
  CaseLayout layout;
  // Present only when the file has very long strings.
  std::unique_ptr<CaseLayoutMover> mover;
  // The bytes past the width in the last slot of each string up to 255
  // wide (very long strings are padded by the mover): blanks in the file,
  // whatever the case handed in holds there.
  std::vector<std::pair<size_t, size_t>> tails;  // offset, length
  std::unique_ptr<char[]> blanked;               // a case with its tails blank
  std::unique_ptr<CaseWriter> cases;
  int64_t initial_cases = 0;
  bool completed = false;

  // Whether a case's tails are blanks already: it needs no copy.
  bool TailsBlank(const char* memory_case) const {
    return std::all_of(tails.begin(), tails.end(), [memory_case](const auto& tail) {
      const char* p = memory_case + tail.first;
      return std::all_of(p, p + tail.second, [](char c) { return c == ' '; });
    });
  }
};

SystemFileDataSource::SaveDS::SaveDS(SystemFileDataSource& parent,
                                     std::unique_ptr<VEXA_StrBaseIO> stream)
    : parent_(parent), stream_(std::move(stream)), state_(new State) {
  VEXA_ASSERT(stream_ != nullptr);
  dictionary_ = parent.GetDictionary();
}

SystemFileDataSource::SaveDS::~SaveDS() {
  try {
    Complete();
  } catch (...) {
    // Nobody to report to; FinishWriting completes the file before this.
  }
}

void SystemFileDataSource::SaveDS::UseZlib(std::unique_ptr<zcmpsFilestr> zlib) {
  zlib_ = std::move(zlib);
}

VEXA_StrBaseIO& SystemFileDataSource::SaveDS::CaseStream() {
  if (zlib_) return *zlib_;
  return *stream_;
}

int64_t SystemFileDataSource::SaveDS::FileSlots() const {
  return state_->layout.file_slots;
}

void SystemFileDataSource::SaveDS::UseLayout(const CaseLayout& layout) {
  state_->layout = layout;
  state_->mover.reset();
  if (!layout.Same()) state_->mover = std::make_unique<CaseLayoutMover>(layout);
  state_->tails.clear();
  for (int i = 0; i < dictionary_.Count(); ++i) {
    const int width = dictionary_.At(i).Type();
    if (width % 8 == 0 || width >= long_strings::kMinWidth) continue;
    state_->tails.emplace_back(static_cast<size_t>(dictionary_.FirstSlot(i)) * 8 +
                                   static_cast<size_t>(width),
                               static_cast<size_t>(8 - width % 8));
  }
  state_->blanked.reset(state_->tails.empty()
                            ? nullptr
                            : new char[static_cast<size_t>(dictionary_.SlotCount()) * 8]);
}

void SystemFileDataSource::SaveDS::WriteDictionary() {
  std::unordered_set<std::string> keys;
  keys.reserve(static_cast<size_t>(dictionary_.Count()) * 2);
  for (int i = 0; i < dictionary_.Count(); ++i) {
    const VEXA_Variable& var = dictionary_.At(i);
    if (!keys.insert(var.NameKey()).second) {
      throw ErrorText(kErrDuplicateName, var.Name());
    }
  }
  const WritePlan plan = MakeWritePlan(dictionary_);
  UseLayout(plan.case_layout);
  // The file's encoding is recorded at commit: its code page number in the
  // machine record (which keeps 2 for an encoding without one) and its name
  // in the encoding record.
  if (const int code_page = text::CodePageOfName(Header().encoding_name);
      code_page > 0) {
    Header().machine.character_code = code_page;
  }
  Header().name_map = plan.name_map;
  Header().long_names = true;
  const std::vector<SystemFileExtensionRecord> extensions =
      BuildExtensionRecords({dictionary_, plan, Header()});
  // Date information that no longer matches the dictionary was left out of
  // the file, and the handle forgets it too.
  if (!DateInfoMatches(dictionary_.Meta().date_info, dictionary_)) {
    parent_.GetDictionary().MutableMeta().date_info = DateInfo{};
  }
  const Dictionary& file = plan.file;

  const int64_t start = stream_->Tell();
  RecordBuffer out(stream_.get());
  const int weight = file.WeightIndex();
  AppendHeaderRecord(
      out, Header(), file,
      {.nominal_case_size = file.SlotCount(),
       .weight_index = weight >= 0 ? file.FirstSlot(weight) + 1 : 0,
       .now = std::time(nullptr)});
  // The handle reports the creation time as the header holds it, to the
  // second and in the same calendar, not the clock reading it came from.
  const std::string_view header(out.Data());
  const double stamp =
      ParseCreationTime(header.substr(layout::kDateOffset, layout::kDateSize),
                        header.substr(layout::kTimeOffset, layout::kTimeSize));
  if (stamp != 0.0) parent_.GetDictionary().SetTimeStamp(stamp);
  AppendVariableRecords(out, file);
  AppendValueLabelRecords(out, file);
  AppendDocumentRecord(out, dictionary_);
  const int64_t ncases = AppendExtensionRecords(out, extensions);
  AppendTerminationRecord(out);
  // The record written here has two units: the probe, then the count.
  if (ncases >= 0) ncases_position_ = start + ncases + 8;
  out.WriteOut();
  // The dictionary part is on disk from the commit on, with the case count
  // not recorded (-1) until the file is finished.
  stream_->Flush();
}

CaseWriter& SystemFileDataSource::SaveDS::StartCases(int64_t initial_cases,
                                                     int64_t data_offset) {
  state_->initial_cases = initial_cases;
  // The plain forms write their full buffers behind the caller.
  if (!zlib_) stream_->EnableWriteBehind();
  state_->cases = std::make_unique<CaseWriter>(
      CaseStream(), static_cast<size_t>(FileSlots()),
      Header().compression != kCompressionNone, parent_.RowIndex(),
      initial_cases < 0 ? 0 : initial_cases, data_offset);
  return *state_->cases;
}

void SystemFileDataSource::SaveDS::WriteCase(const char* memory_case) {
  VEXA_ASSERT(state_->cases != nullptr && !state_->completed);
  // A case is copied only when some string holds other bytes than blanks
  // past its width.
  if (!state_->TailsBlank(memory_case)) {
    char* copy = state_->blanked.get();
    std::memcpy(copy, memory_case, static_cast<size_t>(dictionary_.SlotCount()) * 8);
    for (const auto& [offset, length] : state_->tails) std::memset(copy + offset, ' ', length);
    memory_case = copy;
  }
  const char* file_case =
      state_->mover ? state_->mover->Move(memory_case) : memory_case;
  state_->cases->Write(file_case);
}

void SystemFileDataSource::SaveDS::WriteCases(const char* memory_cases, size_t count) {
  VEXA_ASSERT(state_->cases != nullptr && !state_->completed);
  const size_t bytes = static_cast<size_t>(dictionary_.SlotCount()) * 8;
  // Together where no case needs a copy of its own (see WriteCase).
  bool whole = state_->mover == nullptr;
  for (size_t i = 0; whole && i < count; ++i) whole = state_->TailsBlank(memory_cases + i * bytes);
  if (whole) return state_->cases->WriteMany(memory_cases, count);
  for (size_t i = 0; i < count; ++i) WriteCase(memory_cases + i * bytes);
}

void SystemFileDataSource::SaveDS::Complete() {
  if (state_->completed || state_->cases == nullptr) return;
  state_->completed = true;
  state_->cases->Finish();
  if (zlib_) {
    // The last block, the block index and the zlib header; a worker's
    // failure is raised here.
    std::unique_ptr<zcmpsFilestr> zlib = std::move(zlib_);
    zlib->Close();
  }
  stream_->Flush();

  const int64_t initial = state_->initial_cases;
  const int64_t total =
      initial < 0 ? -1
                  : initial + static_cast<int64_t>(state_->cases->CasesWritten());
  if (total == Header().case_count && total < kFirstUnrecordedCount) return;
  RecordBuffer patch;
  patch.I32(total >= 0 && total < kFirstUnrecordedCount
                ? static_cast<int32_t>(total)
                : -1);
  stream_->Seek(layout::kCaseCountOffset, SEEK_SET);
  stream_->Write(patch.Data().data(), patch.Size());
  stream_->Flush();
  if (ncases_position_ > 0) {
    RecordBuffer count;
    count.I64(total);
    stream_->Seek(ncases_position_, SEEK_SET);
    stream_->Write(count.Data().data(), count.Size());
    stream_->Flush();
  }
  Header().case_count = total;
}

}  // namespace vexa
