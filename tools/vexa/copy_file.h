// Copying a system file, dictionary and cases, into a new one: what
// `convert` does, and how `import` writes a file in another encoding.
#pragma once

#include <functional>
#include <string>

namespace vexa::tool {

// The paths a copy reads and writes, and the names under which messages
// show them (the input may be a scratch file).
struct FilePair {
  std::string in_path, in_name;
  std::string out_path, out_name;
};

// Copies the file at files.in_path, dictionary and cases, into a new file at
// files.out_path (compression -1: the input's), reading and writing in the
// interface encoding of the moment. Returns an exit status.
int CopyFile(const char* command, const FilePair& files, int compression);

// Asks for a compression (a header code) on a write handle and makes sure
// that the library writes it: one that would write another instead
// (byte-code for the zlib form, before it has that form) fails the
// command. Returns an exit status.
int SetCompression(const char* command, const std::string& out_name, int handle,
                   int compression);

// Ends a write handle: closes it, finishing its file, when `status` (an
// exit status) is 0; else abandons it, and the file stays as it was. The
// ending signals wait meanwhile. Returns the status, or that of a failed
// close.
int EndWrite(const char* command, const std::string& out_name, int handle, int status);

// Writes a new file at out_path and nothing else: `write` writes it in UTF-8
// at the path it is given and returns an exit status, abandoning the file
// when it fails (see EndWrite). When `encoding` is neither empty nor
// "UTF-8", `write` writes a scratch file, which is copied to out_path with
// its texts in that encoding (a name, or a code page number as text;
// characters it lacks become "?"). A file replaced keeps its mode; a new one
// has `new_mode` (0: the mode the umask allows), and with a mode given it
// is private from the start. The tool runs in UTF-8 mode again afterwards.
// Returns an exit status.
int WriteNewFile(const char* command, const std::string& out_path, const std::string& encoding,
                 const std::function<int(const std::string&)>& write, unsigned new_mode = 0);

}  // namespace vexa::tool
