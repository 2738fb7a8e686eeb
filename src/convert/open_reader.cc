#include "convert/open_reader.h"

#include <utility>

#include "convert/converting_data_source.h"
#include "text/code_pages.h"
#include "text/converter.h"
#include "text/encoding_scope.h"
#include "text/interface_encoding.h"

namespace vexa {
namespace {

VEXA_DataSource::Observer* g_receiver = nullptr;

OpenedReader Unconverted(std::unique_ptr<SystemFileDataSource> reader) {
  OpenedReader opened;
  opened.sysfile = reader.get();
  opened.source = std::move(reader);
  return opened;
}

}  // namespace

VEXA_DataSource::Observer* SetOpenWarningReceiver(
    VEXA_DataSource::Observer* receiver) {
  return std::exchange(g_receiver, receiver);
}

VEXA_DataSource::Observer* OpenWarningReceiver() { return g_receiver; }

OpenedReader OpenReaderInInterfaceEncoding(const std::string& path,
                                           VEXA_DataSource::Observer* observer,
                                           const std::string& password) {
  std::unique_ptr<SystemFileDataSource> reader =
      SystemFileDataSource::OpenForReading(path, password);
  const std::string encoding = reader->FileEncoding();
  if (text::CompatibleEncodings(encoding, text::InterfaceEncodingName())) {
    return Unconverted(std::move(reader));
  }
  // A file whose encoding no converter opens (a name nobody knows, among
  // others) is read as it is.
  if (!text::Converter::Open(encoding).IsOpen()) {
    return Unconverted(std::move(reader));
  }

  OpenedReader opened;
  opened.converted = true;
  if (text::GetInterfaceMode() == text::InterfaceMode::kUtf8) {
    // Names are checked, repaired and keyed in the file's own code page.
    reader.reset();
    {
      text::EncodingScope scope(encoding, text::InterfaceMode::kCodePage);
      reader = SystemFileDataSource::OpenForReading(path, password);
    }
    opened.sysfile = reader.get();
    opened.source =
        std::make_unique<UTF8DataSource>(std::move(reader), encoding, observer);
    return opened;
  }
  if (!text::CompatibleEncodings(encoding, "UTF-8")) {
    if (observer != nullptr) observer->Warning(kWarnOtherCodePage, path, encoding);
    return Unconverted(std::move(reader));
  }
  reader.reset();
  {
    text::EncodingScope scope("", text::InterfaceMode::kUtf8);
    reader = SystemFileDataSource::OpenForReading(path, password);
  }
  opened.sysfile = reader.get();
  opened.source = std::make_unique<CodePageDataSource>(
      std::move(reader), text::CurrentEncodingName(), observer, false);
  return opened;
}

}  // namespace vexa
