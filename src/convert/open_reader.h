// Opening a file for reading in the interface encoding. The reader is used
// as it is when the file's encoding is compatible with the interface
// encoding; otherwise the file is read once more in its own encoding and
// presented through a converting data source:
//   UTF-8 mode, a code-page file:  UTF8DataSource, from the file's code page
//   code-page mode, a UTF-8 file:  CodePageDataSource, to the current one
//   code-page mode, another code page: the reader unconverted, warning
//                                  kWarnOtherCodePage
#pragma once

#include <memory>
#include <string>

#include "dict/data_source.h"
#include "sysfile/system_file_data_source.h"

namespace vexa {

struct OpenedReader {
  std::unique_ptr<VEXA_DataSource> source;  // the reader, or a view of it
  SystemFileDataSource* sysfile = nullptr;  // the reader, beneath any view
  bool converted = false;                   // a view converts its texts
};

// Raises what SystemFileDataSource::OpenForReading raises. Warnings go to
// `observer` when one is given; a protected file is read with `password`.
OpenedReader OpenReaderInInterfaceEncoding(const std::string& path,
                                           VEXA_DataSource::Observer* observer,
                                           const std::string& password = {});

// The receiver that the read opens of the C API hand their warnings to:
// none unless one is installed (the C API has no way to pass them on; tests
// install one). Returns the previous receiver.
VEXA_DataSource::Observer* SetOpenWarningReceiver(
    VEXA_DataSource::Observer* receiver);
VEXA_DataSource::Observer* OpenWarningReceiver();

}  // namespace vexa
