// `vexa convert IN OUT [--compression none|bytecode]`: a copy of a system
// file with its dictionary and every case, compressed as asked (by default
// as the input is).
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
};

bool ParseArgs(const std::vector<std::string>& args, ConvertOptions& o) {
  std::vector<std::string> paths;
  if (!SplitArguments(args, 2, &paths,
                      [&](const std::string& name, const std::string& value) {
                        return name == "--compression" &&
                               CompressionFromName(value, &o.compression);
                      })) {
    return false;
  }
  o.in_path = paths[0];
  o.out_path = paths[1];
  return true;
}

int Report(const std::string& path, const std::string& what, int code) {
  return ReportFailure("convert", path, what, code);
}

// Copies every case from the read handle to the committed write handle.
int CopyCases(const ConvertOptions& o, int in, int out) {
  int size = 0;
  int code = vexaGetCaseSize(in, &size);
  if (code != VEXA_OK) return Report(o.in_path, "case size", code);
  std::vector<char> buffer(static_cast<size_t>(size));
  for (long n = 1;; ++n) {
    code = vexaWholeCaseIn(in, buffer.data());
    if (code == VEXA_W_END_OF_DATA) return 0;
    if (code != VEXA_OK) {
      return Report(o.in_path, "reading case " + std::to_string(n), code);
    }
    code = vexaWholeCaseOut(out, buffer.data());
    if (code != VEXA_OK) {
      return Report(o.out_path, "writing case " + std::to_string(n), code);
    }
  }
}

}  // namespace

int RunConvert(const std::vector<std::string>& args) {
  ConvertOptions o;
  if (!ParseArgs(args, o)) {
    std::cerr << "usage: vexa convert IN OUT [--compression none|bytecode]\n";
    return 2;
  }
  std::error_code ec;
  if (std::filesystem::equivalent(o.in_path, o.out_path, ec)) {
    std::cerr << "vexa convert: " << o.out_path
              << ": the output would overwrite the input\n";
    return 1;
  }
  int in = -1;
  int code = vexaOpenReadU8(o.in_path.c_str(), &in);
  if (code != VEXA_OK) return Report(o.in_path, "open", code);
  std::unique_ptr<int, void (*)(int*)> close_in(&in,
                                                [](int* h) { vexaCloseRead(*h); });
  int compression = o.compression;
  if (compression < 0 && (code = vexaGetCompression(in, &compression)) != VEXA_OK) {
    return Report(o.in_path, "getting the compression", code);
  }
  int out = -1;
  code = vexaOpenWriteCopyU8(o.out_path.c_str(), o.in_path.c_str(), &out);
  if (code != VEXA_OK) return Report(o.out_path, "open", code);
  if ((code = vexaSetCompression(out, compression)) != VEXA_OK ||
      (code = vexaCommitHeader(out)) != VEXA_OK) {
    Report(o.out_path, "header commit", code);
    vexaCloseWrite(out);  // before the commit: leaves no file
    return 1;
  }
  int status = CopyCases(o, in, out);
  code = vexaCloseWrite(out);
  if (status == 0 && code != VEXA_OK) status = Report(o.out_path, "close", code);
  if (status != 0) std::remove(o.out_path.c_str());
  return status;
}

}  // namespace vexa::tool
