// The header commit, and handing cases to the case writer.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "api/call_guard.h"
#include "dict/case.h"
#include "sysfile/system_file_data_source.h"
#include "vexaio.h"

using namespace vexa;

static_assert(kCompressionNone == VEXA_COMPRESSION_NONE &&
              kCompressionByteCode == VEXA_COMPRESSION_BYTECODE &&
              kCompressionZlib == VEXA_COMPRESSION_ZLIB);

namespace {

SystemFileDataSource& Writer(HandleRecord& r) {
  if (r.sysfile() == nullptr) throw ApiError(VEXA_E_NO_FILE_INFO);
  return *r.sysfile();
}

// The cases that vexaColumnsOut assembles at a time: a batch that stays in
// the cache while its columns are scattered into it and it is written.
constexpr size_t kColumnBatchBytes = 64 * 1024;

// Where a chosen variable's values go in a case, and where they come from.
struct ColumnTarget {
  size_t offset;       // in bytes from the start of the case
  size_t width;        // bytes a case: 8 for a number, else the string's width
  bool numeric;
  const char* values;  // the caller's array
};

// Copies `count` values of N bytes, packed at `from`, one into each case of
// `stride` bytes from `to` on: a copy of known size, not a call.
template <size_t N>
void CopyEach(const char* from, char* to, size_t count, size_t stride) {
  for (size_t i = 0; i < count; ++i, from += N, to += stride) std::memcpy(to, from, N);
}

// CopyEach of values of `width` bytes.
void CopyWidth(const char* from, char* to, size_t count, size_t stride, size_t width) {
  using Copy = void (*)(const char*, char*, size_t, size_t);
  // The short strings, most of those a file holds, each by a copy of its own size.
  static constexpr auto kShort = []<size_t... N>(std::index_sequence<N...>) {
    return std::array<Copy, sizeof...(N)>{&CopyEach<N + 1>...};
  }(std::make_index_sequence<24>{});
  if (width - 1 < kShort.size()) return kShort[width - 1](from, to, count, stride);
  for (size_t i = 0; i < count; ++i, from += width, to += stride) std::memcpy(to, from, width);
}

// Copies cases [first, first + count) of the columns into `batch` (cases of
// `case_bytes` bytes). A NaN becomes system-missing, the one value the file
// has for "no number".
void Scatter(const std::vector<ColumnTarget>& targets, size_t first, size_t count,
             size_t case_bytes, char* batch) {
  const double sysmis = -std::numeric_limits<double>::max();
  for (const ColumnTarget& t : targets) {
    const char* from = t.values + first * t.width;
    char* to = batch + t.offset;
    if (t.numeric) {
      for (size_t i = 0; i < count; ++i, from += 8, to += case_bytes) {
        double x;
        std::memcpy(&x, from, 8);
        x = std::isnan(x) ? sysmis : x;
        std::memcpy(to, &x, 8);
      }
    } else {
      CopyWidth(from, to, count, case_bytes, t.width);
    }
  }
}

}  // namespace

extern "C" {

VEXA_API int vexaCommitHeader(int handle) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    if (r.Dict().Count() == 0) return VEXA_E_NO_VARIABLES;
    Writer(r).CommitHeader();
    r.BuildVariableDirectory();
    r.set_header_committed();
    return VEXA_OK;
  });
}

VEXA_API int vexaCommitCaseRecord(int handle) {
  return Guarded(kFallbackWrite, [&] {
    HandleRecord& r = Lookup(handle, Access::kData);
    r.PrepareCase();
    Writer(r).WriteCase(r.case_buffer());
    r.set_case_state(kNoCase);
    return VEXA_OK;
  });
}

VEXA_API int vexaWholeCaseOut(int handle, const void* caseRec) {
  return Guarded(kFallbackWrite, [&] {
    HandleRecord& r = Lookup(handle, Access::kData);
    Writer(r).WriteCase(static_cast<const char*>(Required(caseRec)));
    r.set_case_state(kNoCase);
    return VEXA_OK;
  });
}

VEXA_API int vexaWholeCasesOut(int handle, const void* caseRecs, int numCases,
                              int* casesWritten) {
  if (casesWritten) *casesWritten = 0;
  return Guarded(kFallbackWrite, [&] {
    HandleRecord& r = Lookup(handle, Access::kData);
    Required(caseRecs);
    Required(casesWritten);
    if (numCases < 0) throw std::invalid_argument("negative case count");
    SystemFileDataSource& writer = Writer(r);
    const size_t size = static_cast<size_t>(r.Dict().SlotCount()) * 8;
    const char* from = static_cast<const char*>(caseRecs);
    r.set_case_state(kNoCase);
    // A failing write leaves the count at the cases before it.
    for (int i = 0; i < numCases; ++i, from += size) {
      writer.WriteCase(from);
      *casesWritten = i + 1;
    }
    return VEXA_OK;
  });
}

VEXA_API int vexaColumnsOut(int handle, int numVars, const double* varHandles,
                            const void* const* columns, int numCases, int* casesWritten) {
  if (casesWritten) *casesWritten = 0;
  return Guarded(kFallbackWrite, [&] {
    HandleRecord& r = Lookup(handle, Access::kData);
    Required(casesWritten);
    if (numCases < 0 || numVars < 0) throw std::invalid_argument("negative count");
    if (numVars > 0) {
      Required(varHandles);
      Required(columns);
    }
    SystemFileDataSource& writer = Writer(r);
    const size_t case_bytes = static_cast<size_t>(r.Dict().SlotCount()) * 8;
    std::vector<ColumnTarget> targets;
    targets.reserve(static_cast<size_t>(numVars));
    for (int k = 0; k < numVars; ++k) {
      const auto& [slot, type] = r.DirectoryEntry(varHandles[k]);
      const bool numeric = type == kNumericType;
      targets.push_back({static_cast<size_t>(slot) * 8,
                         numeric ? size_t{8} : static_cast<size_t>(type), numeric,
                         static_cast<const char*>(Required(columns[k]))});
    }
    r.set_case_state(kNoCase);
    if (numCases == 0) return VEXA_OK;
    // Every case of the batch starts empty; the chosen variables' values
    // replace theirs batch after batch, the others stay missing.
    const size_t per_batch =
        std::min(static_cast<size_t>(numCases), std::max<size_t>(1, kColumnBatchBytes / case_bytes));
    std::unique_ptr<char[]> batch(new (std::nothrow) char[per_batch * case_bytes]);
    if (!batch) throw ApiError(VEXA_E_NO_MEMORY);
    VEXA_Case::Clear(r.Dict(), batch.get());
    for (size_t i = 1; i < per_batch; ++i) {
      std::memcpy(batch.get() + i * case_bytes, batch.get(), case_bytes);
    }
    // A failing write leaves the count at the cases before it.
    for (size_t first = 0; first < static_cast<size_t>(numCases); first += per_batch) {
      const size_t count = std::min(per_batch, static_cast<size_t>(numCases) - first);
      Scatter(targets, first, count, case_bytes, batch.get());
      writer.WriteCases(batch.get(), count);
      *casesWritten += static_cast<int>(count);
    }
    return VEXA_OK;
  });
}

VEXA_API int vexaSetCompression(int handle, int compSwitch) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    // None and zlib stay; every other value asks for byte-code.
    Writer(r).SetCompression(compSwitch == VEXA_COMPRESSION_NONE ||
                                     compSwitch == VEXA_COMPRESSION_ZLIB
                                 ? compSwitch
                                 : VEXA_COMPRESSION_BYTECODE);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetCompression(int handle, int* compSwitch) {
  if (compSwitch) *compSwitch = VEXA_COMPRESSION_NONE;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(compSwitch);
    if (r.sysfile() != nullptr) *compSwitch = r.sysfile()->Compression();
    return VEXA_OK;
  });
}

}  // extern "C"
