// The open calls share these steps: the read and append opens create a
// reader over an existing file, the write open a writer with an empty
// dictionary, and the copy opens use both. Each returns a result code and
// writes the new handle, or -1.
#pragma once

#include <memory>
#include <string>

#include "api/handle_table.h"
#include "convert/open_reader.h"
#include "sysfile/system_file_data_source.h"

namespace vexa {

inline bool HasText(const char* s) { return s != nullptr && s[0] != '\0'; }

// `utf8` names the U8 variants, whose texts are UTF-8.
int OpenReadHandle(const char* file_name, const char* password, bool utf8,
                   int* handle);
// A null password writes a plain file; any other is checked as a new
// password (81 when empty, 80 when too long) and protects the file.
int OpenWriteHandle(const char* file_name, bool utf8, int* handle,
                    const char* password = nullptr);
int OpenAppendHandle(const char* file_name, const char* password, bool utf8,
                     int* handle);

// Puts an opened file into the lowest free slot: builds the variable
// directory and the name index (6 on names equal without regard to case)
// and, for a read handle, the case buffer and iterator (7). On failure the
// slot is free again and *handle stays -1.
// An append handle holds `lock` from then on.
int InstallFileHandle(OpenedReader opened, HandleMode mode, int* handle,
                      WriterLock lock = {});

// The lock of a handle that writes or adds to the file at `path` (none
// while no file of that name exists). Raises ApiError VEXA_E_FILE_OPEN,
// saying so, when another handle or process writes the file.
WriterLock LockForWriting(const std::string& path);

// The password rule of the writing calls that encrypt: 81 for a null or
// empty password, 80 for one longer than 10 bytes, else 0.
int CheckNewPassword(const char* password);

}  // namespace vexa
