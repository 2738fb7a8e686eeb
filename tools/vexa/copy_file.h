// Copying a system file, dictionary and cases, into a new one: what
// `convert` does, and how `import` writes a file in another encoding.
#pragma once

#include <functional>
#include <string>

namespace vexa::tool {

// The paths a copy reads and writes, and the names under which messages
// show them (the paths may be temporary files).
struct FilePair {
  std::string in_path, in_name;
  std::string out_path, out_name;
};

// Copies the file at files.in_path, dictionary and cases, into a new file at
// files.out_path (compression -1: the input's), reading and writing in the
// interface encoding of the moment. Returns an exit status.
int CopyFile(const char* command, const FilePair& files, int compression);

// Asks for a compression (a header code) on a write handle; and, once the
// file at `path` is written, makes sure that it has that compression: a
// library that writes another one instead (byte-code for the zlib form,
// before it has that form) fails the command. Return an exit status.
int SetCompression(const char* command, const std::string& out_name, int handle,
                   int compression);
int CheckCompression(const char* command, const std::string& path, const std::string& out_name,
                     int compression);

// Writes a new file at out_path and nothing else: `write` writes it in UTF-8
// at the path it is given (a temporary file beside out_path) and returns an
// exit status; when `encoding` is neither empty nor "UTF-8" the file is
// copied with its texts in that encoding (a name, or a code page number as
// text; characters it lacks become "?"); the result is renamed onto
// out_path only when all went well, with the mode of the file it replaces,
// else `new_mode` (0: the mode the umask allows). The tool runs in UTF-8
// mode again afterwards. Returns an exit status.
int WriteNewFile(const char* command, const std::string& out_path, const std::string& encoding,
                 const std::function<int(const std::string&)>& write, unsigned new_mode = 0);

}  // namespace vexa::tool
