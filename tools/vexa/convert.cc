// `vexa convert IN OUT [--compression none|bytecode|zlib] [--encoding NAME]`: a
// copy of a system file with its dictionary and every case, compressed as
// asked (by default as the input is), its texts in UTF-8 or in the encoding
// named.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "enum_names.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

struct ConvertOptions {
  std::string in_path;
  std::string out_path;
  int compression = -1;  // -1: the input's
  std::string encoding;  // empty: UTF-8
};

bool ParseArgs(const std::vector<std::string>& args, ConvertOptions& o) {
  std::vector<std::string> paths;
  if (!SplitArguments(args, 2, &paths,
                      [&](const std::string& name, const std::string& value) {
                        if (name == "--encoding") {
                          o.encoding = value;
                          return !value.empty();
                        }
                        return name == "--compression" &&
                               CompressionFromName(value, &o.compression);
                      })) {
    return false;
  }
  o.in_path = paths[0];
  o.out_path = paths[1];
  return true;
}

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

int CopyFile(const char* command, const std::string& in_path,
             const std::string& out_path, int compression) {
  int in = -1;
  int code = vexaOpenReadU8(in_path.c_str(), &in);
  if (code != VEXA_OK) return ReportFailure(command, in_path, "open", code);
  std::unique_ptr<int, void (*)(int*)> close_in(&in,
                                                [](int* h) { vexaCloseRead(*h); });
  if (compression < 0 && (code = vexaGetCompression(in, &compression)) != VEXA_OK) {
    return ReportFailure(command, in_path, "getting the compression", code);
  }
  int out = -1;
  code = vexaOpenWriteCopyU8(out_path.c_str(), in_path.c_str(), &out);
  if (code != VEXA_OK) return ReportFailure(command, out_path, "open", code);
  if ((code = vexaSetCompression(out, compression)) != VEXA_OK ||
      (code = vexaCommitHeader(out)) != VEXA_OK) {
    ReportFailure(command, out_path, "header commit", code);
    vexaCloseWrite(out);  // before the commit: leaves no file
    return 1;
  }
  int status = CopyCases(command, in_path, out_path, in, out);
  code = vexaCloseWrite(out);
  if (status == 0 && code != VEXA_OK) status = ReportFailure(command, out_path, "close", code);
  if (status != 0) std::remove(out_path.c_str());
  return status;
}

std::string IntermediatePath(const std::string& out_path) {
  return out_path + ".utf-8.tmp";
}

int Reencode(const char* command, const std::string& utf8_path,
             const std::string& out_path, const std::string& encoding) {
  // In code-page mode, with the encoding as the current code page, the
  // library converts whatever it reads from the UTF-8 file into that code
  // page, and the file it writes records that encoding.
  int code = vexaSetInterfaceEncoding(0);
  if (code == VEXA_OK) code = vexaSetCodePage(encoding.c_str());
  int status = code == VEXA_OK
                   ? CopyFile(command, utf8_path, out_path, -1)
                   : ReportFailure(command, out_path, "choosing the encoding " + encoding, code);
  vexaSetInterfaceEncoding(1);
  std::remove(utf8_path.c_str());
  return status;
}

int RunConvert(const std::vector<std::string>& args) {
  ConvertOptions o;
  if (!ParseArgs(args, o)) {
    std::cerr << "usage: vexa convert IN OUT [--compression none|bytecode|zlib] "
                 "[--encoding NAME]\n";
    return 2;
  }
  std::error_code ec;
  if (std::filesystem::equivalent(o.in_path, o.out_path, ec)) {
    std::cerr << "vexa convert: " << o.out_path
              << ": the output would overwrite the input\n";
    return 1;
  }
  if (o.encoding.empty()) return CopyFile("convert", o.in_path, o.out_path, o.compression);
  // Through UTF-8: a code-page mode reader converts only UTF-8 files.
  const std::string utf8 = IntermediatePath(o.out_path);
  const int status = CopyFile("convert", o.in_path, utf8, o.compression);
  if (status != 0) return status;
  return Reencode("convert", utf8, o.out_path, o.encoding);
}

}  // namespace vexa::tool
