#include "passwords.h"
#include "copy_file.h"

#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "enum_names.h"
#include "file_paths.h"
#include "temp_file.h"
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
  if (status != 0) {
    vexaCloseWrite(out);
    return status;
  }
  status = CopyCases(command, in_name, out_name, in, out);
  {
    HeldSignals held;
    code = vexaCloseWrite(out);
  }
  if (status == 0 && code != VEXA_OK) status = ReportFailure(command, out_name, "close", code);
  if (status == 0) status = CheckCompression(command, files.out_path, out_name, compression);
  return status;
}

int SetCompression(const char* command, const std::string& out_name, int handle,
                   int compression) {
  const int code = vexaSetCompression(handle, compression);
  if (code != VEXA_OK) return ReportFailure(command, out_name, "setting the compression", code);
  return 0;
}

int CheckCompression(const char* command, const std::string& path, const std::string& out_name,
                     int compression) {
  int handle = -1;
  int code = OpenRead(path, &handle);
  if (code != VEXA_OK) return ReportFailure(command, out_name, "reading back", code);
  int written = -1;
  code = vexaGetCompression(handle, &written);
  vexaCloseRead(handle);
  if (code == VEXA_OK && written != compression) {
    return Fail(command, out_name,
                std::string("compression ") + CompressionName(compression) +
                    " is not written by this library (it wrote " + CompressionName(written) +
                    "); nothing written");
  }
  return 0;
}

int WriteNewFile(const char* command, const std::string& out_path, const std::string& encoding,
                 const std::function<int(const std::string&)>& write, unsigned new_mode) {
  const std::string dir = DirectoryOf(out_path);
  std::string error;
  TempFile utf8;
  if (!utf8.Create(dir, "vexa", &error)) return Fail(command, dir, error);
  int status = write(utf8.path());
  if (status != 0) return status;
  TempFile* done = &utf8;
  TempFile recoded;
  if (!encoding.empty() && encoding != "UTF-8") {
    if (!recoded.Create(dir, "vexa", &error)) return Fail(command, dir, error);
    // In code-page mode, with the encoding as the current code page, the
    // library converts whatever it reads from the UTF-8 file into that code
    // page, and the file it writes records that encoding.
    int code = vexaSetInterfaceEncoding(0);
    if (code == VEXA_OK) code = vexaSetCodePage(encoding.c_str());
    status = code == VEXA_OK ? CopyFile(command, {utf8.path(), out_path, recoded.path(), out_path}, -1)
                             : ReportFailure(command, out_path,
                                             "choosing the encoding " + encoding, code);
    vexaSetInterfaceEncoding(1);
    if (status != 0) return status;
    done = &recoded;
  }
  if (!done->MoveTo(out_path, new_mode, &error)) return Fail(command, out_path, error);
  return 0;
}

}  // namespace vexa::tool
