#include "passwords.h"
#include "copy_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "enum_names.h"
#include "file_paths.h"
#include "scratch_file.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

// Copies every case from the read handle to the committed write handle.
int CopyCases(const char* command, const std::string& in_path,
              const std::string& out_path, int in, int out) {
  int size = 0;
  int code = vexaGetCaseSize(in, &size);
  if (code != VEXA_OK) return ReportFailure(command, in_path, "case size", code);
  std::vector<char> buffer(static_cast<size_t>(size));
  for (long n = 1;; ++n) {
    code = vexaWholeCaseIn(in, buffer.data());
    if (code == VEXA_W_END_OF_DATA) return 0;
    if (code != VEXA_OK) {
      return ReportFailure(command, in_path, "reading case " + std::to_string(n), code);
    }
    code = vexaWholeCaseOut(out, buffer.data());
    if (code != VEXA_OK) {
      return ReportFailure(command, out_path, "writing case " + std::to_string(n), code);
    }
  }
}

}  // namespace

int CopyFile(const char* command, const FilePair& files, int compression) {
  const std::string& in_name = files.in_name;
  const std::string& out_name = files.out_name;
  int in = -1;
  int code = OpenRead(files.in_path, &in);
  if (code != VEXA_OK) return ReportFailure(command, in_name, "open", code);
  std::unique_ptr<int, void (*)(int*)> close_in(&in,
                                                [](int* h) { vexaCloseRead(*h); });
  if (compression < 0 && (code = vexaGetCompression(in, &compression)) != VEXA_OK) {
    return ReportFailure(command, in_name, "getting the compression", code);
  }
  int out = -1;
  code = OpenWriteCopy(files.out_path, files.in_path, &out);
  if (code != VEXA_OK) return ReportFailure(command, out_name, "open", code);
  int status = SetCompression(command, out_name, out, compression);
  if (status == 0 && (code = vexaCommitHeader(out)) != VEXA_OK) {
    status = ReportFailure(command, out_name, "header commit", code);
  }
  if (status == 0) status = CopyCases(command, in_name, out_name, in, out);
  return EndWrite(command, out_name, out, status);
}

int SetCompression(const char* command, const std::string& out_name, int handle,
                   int compression) {
  int code = vexaSetCompression(handle, compression);
  int taken = -1;
  if (code == VEXA_OK) code = vexaGetCompression(handle, &taken);
  if (code != VEXA_OK) return ReportFailure(command, out_name, "setting the compression", code);
  if (taken != compression) {
    return Fail(command, out_name,
                std::string("compression ") + CompressionName(compression) +
                    " is not written by this library (it would write " +
                    CompressionName(taken) + "); nothing written");
  }
  return 0;
}

int EndWrite(const char* command, const std::string& out_name, int handle, int status) {
  int code = VEXA_OK;
  {
    HeldSignals held;
    code = status == 0 ? vexaCloseWrite(handle) : vexaAbandonFile(handle);
  }
  if (status == 0 && code != VEXA_OK) status = ReportFailure(command, out_name, "close", code);
  return status;
}

int WriteNewFile(const char* command, const std::string& out_path, const std::string& encoding,
                 const std::function<int(const std::string&)>& write, unsigned new_mode) {
  struct stat old {};
  const bool replaces = stat(out_path.c_str(), &old) == 0;
  // With a mode given, the library creates the new file private (a file
  // replaced takes the old one's mode whatever the umask).
  const mode_t mask = umask(0);
  umask(new_mode != 0 ? mask | 077 : mask);
  int status = 0;
  if (encoding.empty() || encoding == "UTF-8") {
    status = write(out_path);
  } else {
    ScratchFile utf8;
    std::string error;
    status = utf8.Create("vexa", &error) ? write(utf8.path()) : Fail(command, out_path, error);
    // In code-page mode, with the encoding as the current code page, the
    // library converts whatever it reads from the UTF-8 file into that code
    // page, and the file it writes records that encoding.
    if (status == 0) {
      int code = vexaSetInterfaceEncoding(0);
      if (code == VEXA_OK) code = vexaSetCodePage(encoding.c_str());
      status = code == VEXA_OK
                   ? CopyFile(command, {utf8.path(), out_path, out_path, out_path}, -1)
                   : ReportFailure(command, out_path, "choosing the encoding " + encoding, code);
      vexaSetInterfaceEncoding(1);
    }
  }
  umask(mask);
  if (status == 0 && !replaces && new_mode != 0 && chmod(out_path.c_str(), new_mode) != 0) {
    return Fail(command, out_path, std::strerror(errno));
  }
  return status;
}

}  // namespace vexa::tool
