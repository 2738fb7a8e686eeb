// Date variables information as an integer array, and the KVT block (an
// opaque data block, subtype 8, with a GUID text, subtype 12) over the raw
// extension record calls.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "api/call_guard.h"
#include "ext/date_info.h"
#include "sysfile/system_file_data_source.h"
#include "vexaio.h"

using namespace vexa;

namespace {

constexpr int kKvtData = 8;
constexpr int kKvtGuid = 12;
constexpr int kGuidBytes = 256;
constexpr int kHeaderEntries = 6;

// The KVT block of a read handle, or a warning/error code.
int KvtBlock(HandleRecord& r, const VEXA_ExtensionImpl** block) {
  if (r.mode() != HandleMode::kRead) return VEXA_E_OPENED_FOR_WRITE;
  *block = r.Dict().Extensions().Get(kKvtData);
  if (*block == nullptr || (*block)->contents.empty() || r.converted() ||
      (r.sysfile() != nullptr && r.sysfile()->Header().byte_swapped)) {
    return VEXA_W_NO_KVT_INFO;
  }
  return VEXA_OK;
}

}  // namespace

extern "C" {

VEXA_API int vexaGetDateVariables(int handle, int* numofElements, int** dateInfo) {
  if (numofElements) *numofElements = 0;
  if (dateInfo) *dateInfo = nullptr;
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(numofElements), Required(dateInfo);
    if (r.mode() != HandleMode::kRead) return VEXA_E_OPENED_FOR_WRITE;
    const DateInfo& info = r.Dict().Meta().date_info;
    if (!info.present || info.count <= 0) return VEXA_W_NO_DATE_INFO;
    const int n = info.count;
    const int entries = 9 + 3 * n;
    std::unique_ptr<int, decltype(&std::free)> array(
        static_cast<int*>(std::calloc(static_cast<size_t>(entries), sizeof(int))), &std::free);
    int* const out = array.get();
    if (out == nullptr) return VEXA_E_NO_MEMORY;
    out[0] = info.flag;
    out[1] = info.value1;
    out[2] = n;
    out[3] = info.value3;
    out[4] = info.value4;
    out[5] = n > 0;
    for (int k = 0; k <= n && static_cast<size_t>(k) < info.slots.size(); ++k) {
      const DateInfo::Slot& slot = info.slots[static_cast<size_t>(k)];
      int* triple = out + kHeaderEntries + 3 * k;
      // The slot names its variable by identity: the dictionary may have
      // changed around it since (very long strings merged after reading).
      const int index = slot.index >= 0 ? DateSlotVariable(slot, r.Dict()) : -1;
      triple[0] = index >= 0 ? r.Dict().FirstSlot(index) + 1 : 0;
      triple[1] = slot.type;
      triple[2] = slot.parameter;
    }
    *numofElements = entries;
    *dateInfo = array.release();
    return VEXA_OK;
  });
}

VEXA_API int vexaSetDateVariables(int handle, int numofElements, const int* dateInfo) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    if (dateInfo == nullptr || numofElements < kHeaderEntries) return VEXA_E_BAD_DATE_VARIABLES;
    const int n = dateInfo[2];
    if (n < 0 || n > DateInfo::kMaxVariables ||
        (numofElements != 3 * n + 6 && numofElements != 3 * n + 9)) {
      return VEXA_E_BAD_DATE_VARIABLES;
    }
    Dictionary& d = r.Dict();
    DateInfo info;
    info.present = true;
    info.count = static_cast<int32_t>(n);
    // The pair is stored from entries 4 and 3, in that order.
    info.value3 = dateInfo[4];
    info.value4 = dateInfo[3];
    info.flag = dateInfo[0] == 1;
    info.value1 = dateInfo[1];
    info.slots.resize(static_cast<size_t>(n) + 1);
    for (int k = 0; kHeaderEntries + 3 * k + 2 < numofElements; ++k) {
      const int* triple = dateInfo + kHeaderEntries + 3 * k;
      int index = -1;
      int lo = 0, hi = d.Count() - 1;
      while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const int position = d.FirstSlot(mid) + 1;
        if (position == triple[0]) {
          index = mid;
          break;
        }
        if (position < triple[0]) {
          lo = mid + 1;
        } else {
          hi = mid - 1;
        }
      }
      if (index < 0) return VEXA_E_BAD_DATE_VARIABLES;
      info.slots[static_cast<size_t>(k)] = {index, d.At(index).Id(),
                                            static_cast<int32_t>(triple[1]),
                                            static_cast<int32_t>(triple[2])};
    }
    // Valid: every slot's variable is named for its component, numeric for
    // components and a string for the date key.
    for (size_t k = 0; k < info.slots.size(); ++k) {
      const DateInfo::Slot& slot = info.slots[k];
      if (slot.type == DateInfo::kEmptySlot) continue;
      const bool key_slot = k == static_cast<size_t>(n);
      if (slot.type < 0 || slot.type > DateInfo::kDateKey ||
          key_slot != (slot.type == DateInfo::kDateKey) || slot.index < 0) {
        return VEXA_E_BAD_DATE_VARIABLES;
      }
      const VEXA_Variable& var = d.At(slot.index);
      if (var.NameKey() != DateInfo::kComponentNames[static_cast<size_t>(slot.type)] ||
          var.IsNumeric() == key_slot) {
        return VEXA_E_BAD_DATE_VARIABLES;
      }
    }
    d.MutableMeta().date_info = std::move(info);
    return VEXA_OK;
  });
}

VEXA_API int vexaFreeDateVariables(int* dateInfo) {
  std::free(dateInfo);
  return VEXA_OK;
}

VEXA_API int vexaSetKVTGUID(int handle, const char* guid) {
  return Guarded(kFallbackHandle, [&] {
    Required(guid);
    return vexaSetExtensionData(handle, kKvtGuid, 1, static_cast<int>(std::strlen(guid)),
                                guid);
  });
}

VEXA_API int vexaGetKVTGUID(int handle, char* guid) {
  return Guarded(kFallbackRead, [&] {
    Required(guid);
    std::memset(guid, 0, kGuidBytes + 1);
    HandleRecord& r = Lookup(handle, Access::kAny);
    r.extension_reader(kKvtGuid).reset();
    int delivered = 0;
    const int code = vexaGetExtensionData(handle, kKvtGuid, kGuidBytes, &delivered, guid);
    r.extension_reader(kKvtGuid).reset();
    guid[delivered >= 0 && delivered <= kGuidBytes ? delivered : 0] = '\0';
    return code;
  });
}

VEXA_API int vexaGetKVTInfo(int handle, int* length, int* trailing) {
  if (length) *length = 0;
  if (trailing) *trailing = 0;
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(length), Required(trailing);
    const VEXA_ExtensionImpl* block = nullptr;
    if (const int code = KvtBlock(r, &block); code != VEXA_OK) return code;
    *length = static_cast<int>(block->contents.size());
    if (block->contents.size() >= 4) {
      std::memcpy(trailing, block->contents.data() + block->contents.size() - 4, 4);
    }
    return VEXA_OK;
  });
}

VEXA_API int vexaSetKVTFirst(int handle, const void* data, int length) {
  return vexaSetExtensionData(handle, kKvtData, 1, length, data);
}

// Without a stored block there is nothing to extend: VEXA_W_NO_KVT_INFO and
// no change.
VEXA_API int vexaSetKVTNext(int handle, const void* data, int length) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    const VEXA_ExtensionImpl* block = r.Dict().Extensions().Get(kKvtData);
    if (block == nullptr || block->contents.empty()) return VEXA_W_NO_KVT_INFO;
    if (length < 0 || (length > 0 && data == nullptr)) return VEXA_E_BAD_EXTENSION;
    std::string joined = block->contents;
    joined.append(static_cast<const char*>(data), static_cast<size_t>(length));
    return vexaSetExtensionData(handle, kKvtData, 1, static_cast<int>(joined.size()),
                                joined.data());
  });
}

VEXA_API int vexaGetKVTFirst(int handle, void* buffer, int bufferSize, int* delivered) {
  if (delivered) *delivered = 0;
  return Guarded(kFallbackRead, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    const VEXA_ExtensionImpl* block = nullptr;
    if (const int code = KvtBlock(r, &block); code != VEXA_OK) return code;
    r.extension_reader(kKvtData).reset();
    return vexaGetExtensionData(handle, kKvtData, bufferSize, delivered, buffer);
  });
}

VEXA_API int vexaGetKVTNext(int handle, void* buffer, int bufferSize, int* delivered) {
  return vexaGetExtensionData(handle, kKvtData, bufferSize, delivered, buffer);
}

}  // extern "C"
