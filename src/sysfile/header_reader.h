// Reading the header record: the 172 bytes after the magic (the file kind
// is detected first, sysfile/file_kind.h) in either byte order, and the
// creation date and time. A file that ends inside the header raises
// SystemFileException kErrTruncated.
#pragma once

#include <string_view>

#include "io/stream.h"
#include "layout/file_header.h"

namespace vexa {

class Dictionary;

// Reads the 172 bytes after the magic into `header`; the file label becomes
// the dictionary's ID string and a valid creation date and time its time
// stamp. Sets header.byte_swapped when the layout code is not 1-255 in the
// host's order.
void ReadHeader(VEXA_StrBaseIO& stream, FileHeader& header,
                Dictionary& dictionary);

// The creation time as seconds since 14 October 1582, from the 9-byte date
// ("dd Mon yy") and the 8-byte time ("hh:mm:ss"); 0.0 when they do not make
// a valid date and time. Two-digit years below 70 are 20xx.
double ParseCreationTime(std::string_view date, std::string_view time);

}  // namespace vexa
