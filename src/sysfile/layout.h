// The byte layout of a system file's header and dictionary records, shared
// by the reader and the writer. All integers are int32 and all floats
// float64 in the writing machine's byte order; text is space padded and
// never byte-swapped.
//
// Header record (176 bytes):
//   0 magic[4]  4 product[60]  64 layout  68 nominal case size
//   72 compression  76 weight index  80 case count  84 bias (f64)
//   92 date[9]  101 time[8]  109 label[64]  173 padding[3]
// Variable record (type 2):
//   0 rec type  4 type  8 has label  12 missing code  16 print  20 write
//   24 name[8]  [32 label length L, 36 label padded to 4]  [8 x |code|]
// Value label record (type 3): 0 rec type, 4 count N, then N times
//   {value[8], length byte L, L text bytes, filler to a multiple of 8}
// Variable index record (type 4): 0 rec type, 4 count M, 8 M slot numbers
// Document record (type 6): 0 rec type, 4 line count N, 8 N x 80 bytes
// Extension record (type 7): 0 rec type, 4 subtype, 8 size, 12 count,
//   16 size x count bytes
// Termination record (type 999): 0 rec type, 4 filler
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/file_magic.h"

namespace vexa::layout {

// Record type codes.
constexpr int32_t kVariableRecord = 2;
constexpr int32_t kValueLabelRecord = 3;
constexpr int32_t kVariableIndexRecord = 4;
constexpr int32_t kDocumentRecord = 6;
constexpr int32_t kExtensionRecord = 7;
constexpr int32_t kTerminationRecord = 999;

// Variable record type field.
constexpr int32_t kContinuationType = -1;
constexpr int32_t kMaxShortStringWidth = 255;

// Header record fields.
constexpr size_t kMagicSize = magic::kSize;
constexpr size_t kProductSize = 60;
constexpr size_t kDateSize = 9;
constexpr size_t kTimeSize = 8;
constexpr size_t kLabelSize = 64;
constexpr size_t kHeaderPaddingSize = 3;
constexpr size_t kLayoutCodeOffset = kMagicSize + kProductSize;        // 64
constexpr size_t kNominalCaseSizeOffset = kLayoutCodeOffset + 4;       // 68
constexpr size_t kCompressionOffset = kNominalCaseSizeOffset + 4;      // 72
constexpr size_t kWeightIndexOffset = kCompressionOffset + 4;          // 76
constexpr size_t kCaseCountOffset = kWeightIndexOffset + 4;            // 80
constexpr size_t kBiasOffset = kCaseCountOffset + 4;                   // 84
constexpr size_t kDateOffset = kBiasOffset + 8;                        // 92
constexpr size_t kTimeOffset = kDateOffset + kDateSize;                // 101
constexpr size_t kLabelOffset = kTimeOffset + kTimeSize;               // 109
constexpr size_t kPaddingOffset = kLabelOffset + kLabelSize;           // 173
constexpr size_t kHeaderSize = kPaddingOffset + kHeaderPaddingSize;    // 176
// The part of the header read after the magic.
constexpr size_t kHeaderRestSize = kHeaderSize - kMagicSize;           // 172


// Variable record: type, has label, missing code, print, write, name.
constexpr size_t kVarNameSize = 8;
constexpr size_t kVariableRecordBody = 5 * 4 + kVarNameSize;  // 28
constexpr size_t kMissingValueSize = 8;
constexpr int kMaxMissingValues = 3;

// Value label record.
constexpr size_t kValueSize = 8;
constexpr size_t kLabelEntryHeader = kValueSize + 1;  // value + length byte

// Document record.
constexpr size_t kDocumentLineSize = 80;

// Extension record: subtype, element size, element count.
constexpr size_t kExtensionHeaderBody = 3 * 4;

// Slots.
constexpr size_t kSlotSize = 8;

}  // namespace vexa::layout
