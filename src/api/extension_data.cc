// Raw access to extension records: whether a file held a subtype, the shape
// of a record, its data delivered in pieces, replacing or removing it, and
// the text information record (subtype 10) as a text. Subtypes that the
// library writes itself are refused; a caller's record reaches the file at
// the header commit, written back unchanged.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#include "api/call_guard.h"
#include "sysfile/system_file_data_source.h"
#include "vexaio.h"

using namespace vexa;

namespace {

constexpr int kTextInfoType = 10;
constexpr int64_t kTextInfoBytes = 255;

// Subtypes a caller may read and write: 1, 2, 8, 10, 12, 15 and 23 to 40.
bool IsCallerSubtype(int subtype) {
  switch (subtype) {
    case 1: case 2: case 8: case 10: case 12: case 15:
      return true;
    default:
      return subtype >= 23 && subtype < kExtensionSubtypes;
  }
}

void RequireCallerSubtype(int subtype) {
  if (!IsCallerSubtype(subtype)) throw ApiError(VEXA_E_BAD_EXTENSION);
}

struct Piece {
  int64_t elements = 0;
  int64_t bytes = 0;
};

// Copies the next whole elements of the subtype's record that fit into
// `room` bytes of `buffer`. The delivery starts at the first element when
// none is under way, and ends (so that the next call starts again) with the
// last element or when there is no record.
Piece DeliverPiece(HandleRecord& r, int subtype, int64_t room, char* buffer) {
  std::optional<ExtensionDataReader>& reader = r.extension_reader(subtype);
  if (!reader) {
    RefPtr<VEXA_ExtensionImpl> entry = r.Dict().Extensions().GetRef(subtype);
    const int64_t count = entry ? entry->ElementCount() : 0;
    reader = ExtensionDataReader{std::move(entry), 0, count};
  }
  Piece piece;
  if (reader->entry) {
    const int64_t size = reader->entry->element_size;
    piece.elements = std::min(std::max<int64_t>(room, 0) / size, reader->left);
    piece.bytes = piece.elements * size;
    if (piece.bytes > 0) {
      std::memcpy(Required(buffer),
                  reader->entry->contents.data() + reader->next * size,
                  static_cast<size_t>(piece.bytes));
    }
    reader->next += piece.elements;
    reader->left -= piece.elements;
  }
  if (reader->left == 0 || !reader->entry) reader.reset();
  return piece;
}

// Replaces the record with `count` elements of `size` bytes from `data`, or
// removes it when there are none. A delivery under way is dropped.
void StoreRecord(HandleRecord& r, int subtype, int size, int count,
                 const void* data) {
  r.extension_reader(subtype).reset();
  if (count == 0 || data == nullptr) {
    r.Dict().Extensions().Set(subtype, 1, 0, nullptr);
    return;
  }
  if (size < 1 || count < 0) throw ApiError(VEXA_E_BAD_EXTENSION);
  r.Dict().Extensions().Set(subtype, size, count,
                            static_cast<const char*>(data));
}

int WriteHandleCode(const HandleRecord& r) {
  return r.mode() == HandleMode::kWrite ? VEXA_E_OPENED_FOR_WRITE : VEXA_OK;
}

}  // namespace

extern "C" {

VEXA_API int vexaQueryType7(int handle, int subType, int* found) {
  if (found) *found = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(found);
    if (r.mode() == HandleMode::kWrite) return VEXA_E_OPENED_FOR_WRITE;
    if (subType < 0 || subType >= kExtensionSubtypes) return VEXA_E_BAD_SUBTYPE;
    if (r.sysfile() == nullptr) return VEXA_E_NO_FILE_INFO;
    *found = r.sysfile()->Header().subtypes_seen.test(subType) ? 1 : 0;
    return VEXA_OK;
  });
}

VEXA_API int vexaGetExtensionDataDesc(int handle, int subType, int* elementSize,
                                      int* elementCount) {
  if (elementSize) *elementSize = 0;
  if (elementCount) *elementCount = 0;
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(elementSize), Required(elementCount);
    RequireCallerSubtype(subType);
    if (r.mode() == HandleMode::kWrite) return VEXA_E_OPENED_FOR_WRITE;
    if (const VEXA_ExtensionImpl* e = r.Dict().Extensions().Get(subType)) {
      *elementSize = e->element_size;
      *elementCount = static_cast<int>(e->ElementCount());
    }
    return VEXA_OK;
  });
}

VEXA_API int vexaGetExtensionData(int handle, int subType, int bufferSize,
                                  int* elementsDelivered, void* buffer) {
  if (elementsDelivered) *elementsDelivered = 0;
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(elementsDelivered);
    RequireCallerSubtype(subType);
    *elementsDelivered = static_cast<int>(
        DeliverPiece(r, subType, bufferSize, static_cast<char*>(buffer))
            .elements);
    return WriteHandleCode(r);
  });
}

VEXA_API int vexaSetExtensionData(int handle, int subType, int elementSize,
                                  int elementCount, const void* data) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    RequireCallerSubtype(subType);
    StoreRecord(r, subType, elementSize, elementCount, data);
    return VEXA_OK;
  });
}

VEXA_API int vexaSetTextInfo(int handle, const char* textInfo) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    const size_t length = textInfo ? std::strlen(textInfo) : 0;
    if (length > INT32_MAX) return VEXA_E_BAD_EXTENSION;
    StoreRecord(r, kTextInfoType, 1, static_cast<int>(length), textInfo);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetTextInfo(int handle, char* textInfo) {
  if (textInfo) textInfo[0] = '\0';
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(textInfo);
    textInfo[DeliverPiece(r, kTextInfoType, kTextInfoBytes, textInfo).bytes] =
        '\0';
    // Every call reads the text from its beginning.
    r.extension_reader(kTextInfoType).reset();
    return WriteHandleCode(r);
  });
}

}  // extern "C"
