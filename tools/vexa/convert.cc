// `vexa convert IN OUT [--compression C] [--encoding NAME] [--force]
// [--protect | --no-protect]`: a copy of a system file with its dictionary
// and every case, compressed as asked (by default as the input is), its
// texts in UTF-8 or in the encoding named. A protected input is copied
// protected (--protect) or, said on stderr, in the clear (--no-protect).
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "passwords.h"
#include "commands.h"
#include "copy_file.h"
#include "enum_names.h"
#include "file_paths.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

struct ConvertOptions {
  std::string in_path;
  std::string out_path;
  int compression = -1;  // -1: the input's
  std::string encoding;  // empty: UTF-8
  bool force = false;
};

int RunConvert(const ConvertOptions& o) {
  InputFile in;
  std::string error;
  if (!in.Open(o.in_path, &error)) return Fail("convert", in.name(), error);
  const std::string refusal = OutputRefusal(o.out_path, ".vexa", o.force);
  if (!refusal.empty()) return Fail("convert", o.out_path, refusal);
  std::error_code ec;
  if (std::filesystem::equivalent(in.path(), o.out_path, ec)) {
    return Fail("convert", o.out_path, "the output would overwrite the input");
  }
  // Protected data goes out in the clear only when asked to, and is said.
  const bool unprotects = !Protecting() && IsProtected(in.path());
  if (unprotects && !NotProtecting()) {
    Fail("convert", in.name(),
         "the file is protected; --protect writes a protected copy, --no-protect one in the "
         "clear");
    return 2;
  }
  // Through UTF-8 when an encoding is asked for: a code-page mode reader
  // converts only UTF-8 files.
  const int status = WriteNewFile(
      "convert", o.out_path, o.encoding,
      [&](const std::string& path) {
        return CopyFile("convert", {in.path(), in.name(), path, o.out_path}, o.compression);
      },
      in.OwnerOnlyMode());
  if (status == 0 && unprotects) {
    std::cerr << "vexa convert: " << o.out_path << ": written unprotected (--no-protect)\n";
  }
  return status;
}

}  // namespace

void AddCompressionOption(CLI::App& app, int* compression, const std::string& help) {
  app.add_option_function<std::string>(
         "--compression",
         [compression](const std::string& name) { CompressionFromName(name, compression); },
         help)
      ->type_name("none|bytecode|zlib")
      ->check(CLI::IsMember({"none", "bytecode", "zlib"}).description(""));
}

void AddForceOption(CLI::App& app, bool* force) {
  app.add_flag("--force", *force,
               "Replace an existing file, and write a name that does not end in .vexa");
}

void AddEncodingOption(CLI::App& app, std::string* encoding) {
  app.add_option("--encoding", *encoding,
                 "Encoding of the new file's texts (windows-1252, Shift_JIS, 1252, ...; "
                 "by default UTF-8)")
      ->type_name("NAME")
      ->check([](const std::string& e) { return e.empty() ? "empty encoding name" : ""; });
}

Command AddConvertCommand(CLI::App& vexa) {
  auto o = std::make_shared<ConvertOptions>();
  CLI::App* app = vexa.add_subcommand(
      "convert", "A copy of a system file, compressed as asked (by default as IN is)");
  app->add_option("IN", o->in_path, "The system file to copy")->required();
  app->add_option("OUT", o->out_path, "The system file to write")->required();
  AddCompressionOption(*app, &o->compression, "Compression of the new file (by default IN's)");
  AddEncodingOption(*app, &o->encoding);
  AddForceOption(*app, &o->force);
  AddPasswordOption(*app);
  AddProtectOption(*app);
  AddNoProtectOption(*app);
  return {app, [o] { return RunConvert(*o); }};
}

}  // namespace vexa::tool
