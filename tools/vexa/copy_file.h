// Copying a system file, dictionary and cases, into a new one: what
// `convert` does, and how `import` writes a file in another encoding.
#pragma once

#include <string>

namespace vexa::tool {

// Copies the file at in_path, dictionary and cases, into a new file at
// out_path (compression -1: the input's), reading and writing in the
// interface encoding of the moment. Returns an exit status; a failure
// leaves no output file.
int CopyFile(const char* command, const std::string& in_path,
             const std::string& out_path, int compression);

// Where a file whose texts go into another encoding is first written in
// UTF-8: beside `out_path`.
std::string IntermediatePath(const std::string& out_path);

// Writes the UTF-8 file at utf8_path again at out_path with its texts in
// `encoding` (a name, or a code page number as text), then removes
// utf8_path. Characters the encoding lacks become "?". The tool runs in
// UTF-8 mode again afterwards. Returns an exit status.
int Reencode(const char* command, const std::string& utf8_path,
             const std::string& out_path, const std::string& encoding);

}  // namespace vexa::tool
