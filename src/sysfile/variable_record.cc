// Variable record (type 2), after the record type:
//   4 type          int32: 0 numeric, 1-255 string width, -1 continuation
//   8 has label     int32: non-zero when a label follows
//  12 missing code  int32: 0, 1, 2, 3, -2 or -3
//  16 print format  int32, packed
//  20 write format  int32, packed
//  24 name[8]       space padded
//  32 label length L, then L bytes padded to a multiple of 4 (has label)
//  then 8 x |missing code| bytes of missing values (float64 or text)
// The reads after the fixed fields are not counted: a file that ends
// there fails at the next record type.
#include <cstring>
#include <string>

#include "dict/format_code.h"
#include "dict/names.h"
#include "dict/variable.h"
#include "support/errors.h"
#include "sysfile/layout.h"
#include "sysfile/record_readers.h"

namespace vexa {
namespace {

uint32_t ReadFormat(const char* p, bool swap) {
  uint32_t packed = static_cast<uint32_t>(LoadI32(p, swap));
  return PackFormat(UnpackFormat(packed));
}

bool IsKnownMissingCode(int32 code) {
  return code == 0 || code == 1 || code == 2 || code == 3 ||
         code == kMissingRange || code == kMissingRangeAndValue;
}

}  // namespace

void ReadVariableRecord(RecordInput& in, Dictionary& dictionary) {
  char body[layout::kVariableRecordBody];
  // A record cut off by the end of the file fails as cut off, before its
  // fields are judged on bytes it does not have.
  if (in.Read(body, sizeof body) != sizeof body) {
    ThrowFileError(kErrTruncated, "the file ends inside the record");
  }
  bool swap = in.Swap();
  int32 type = LoadI32(body, swap);
  int32 hasLabel = LoadI32(body + 4, swap);
  int32 missingCode = LoadI32(body + 8, swap);

  if (type < -1 || type > 255) {
    ThrowFileError(kErrBadStructure,
                   "type {} is not -1 (continuation), 0 (numeric) or a string "
                   "width of 1 to 255",
                   type);
  }
  if (!IsKnownMissingCode(missingCode)) {
    ThrowFileError(kErrBadStructure,
                   "missing value code {} is not 0, 1, 2, 3, -2 or -3",
                   missingCode);
  }

  VEXA_Variable var(type > 0 ? type : kNumericType);
  if (type >= 0) {
    var.SetName(TrimTrailingBlanks(
        std::string_view(body + 20, layout::kVarNameSize)));
    var.SetPrintFormat(ReadFormat(body + 12, swap));
    var.SetWriteFormat(ReadFormat(body + 16, swap));
  }

  if (hasLabel != 0) {
    int32 labelLen = in.ReadInt32();
    if (labelLen < 0) {
      ThrowFileError(kErrBadStructure, "label length {} is negative", labelLen);
    }
    int64_t padded = (static_cast<int64_t>(labelLen) + 3) / 4 * 4;
    if (!in.FitsOrExhaust(padded)) return;
    std::string label(static_cast<size_t>(padded), ' ');
    in.Read(label.data(), label.size());
    label.resize(static_cast<size_t>(labelLen));
    if (type >= 0) var.SetLabel(label);
  }

  if (missingCode != 0) {
    int count = missingCode < 0 ? -missingCode : missingCode;
    char values[layout::kMaxMissingValues][layout::kMissingValueSize];
    std::memset(values, 0, sizeof values);
    in.Read(values, layout::kMissingValueSize * count);
    if (type == kNumericType && swap) {
      for (int i = 0; i < count; ++i) Swap8InPlace(values[i]);
    }
    if (type >= 0) {
      var.SetMissingRaw(missingCode, values[0], count > 1 ? values[1] : nullptr,
                        count > 2 ? values[2] : nullptr);
    }
  }

  if (type >= 0) dictionary.Add(var);
}

}  // namespace vexa
