// File-kind detection from the first bytes of a file:
//   bytes 0-3   "$FL2" plain form, "$FL3" zlib form
//   bytes 8-19  "ENCRYPTEDSAV" for the encrypted wrapper (when 0-3 are
//               neither magic)
#pragma once

#include <cstddef>

#include "layout/file_header.h"

namespace vexa {

class VEXA_StrBaseIO;

constexpr size_t kFileKindProbeBytes = 20;

// The kind of a file from its first `size` bytes, or kUnknownKind when they
// show none of the three forms (too short included).
constexpr int kUnknownKind = -1;
FileKind DetectFileKind(const char* head, size_t size);

// The stream form used when a file is opened: reads from the stream's start
// and leaves it after byte 3 (plain, zlib) or after byte 19 (encrypted).
// Raises kErrTruncated when the file ends before its magic is complete and
// kErrBadStructure when no magic matches.
FileKind DetectFileKind(VEXA_StrBaseIO& stream);

}  // namespace vexa
