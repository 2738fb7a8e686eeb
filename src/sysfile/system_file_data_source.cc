#include "sysfile/system_file_data_source.h"

#include "io/file_stream.h"
#include "support/errors.h"
#include "sysfile/case_iterator.h"
#include "sysfile/dictionary_reader.h"
#include "sysfile/file_kind.h"
#include "sysfile/header_reader.h"

namespace vexa {

SystemFileDataSource::~SystemFileDataSource() = default;

std::unique_ptr<SystemFileDataSource> SystemFileDataSource::OpenForReading(
    const std::string& path) {
  auto stream = std::make_unique<VEXA_FileStream>();
  if (!stream->Open(path, "r")) throw ErrorText(kErrReadFailed, path);
  return OpenForReading(std::move(stream), path);
}

std::unique_ptr<SystemFileDataSource> SystemFileDataSource::OpenForReading(
    std::unique_ptr<VEXA_StrBaseIO> stream, std::string file_name) {
  VEXA_ASSERT(stream != nullptr);
  std::unique_ptr<SystemFileDataSource> source(new SystemFileDataSource);
  source->file_name_ = std::move(file_name);

  using enum FileKind;
  FileKind type = DetectFileKind(*stream);
  VEXA_FILE_CHECK(type != kENCRYPTED, kErrNeedsPassword);

  ReadHeader(*stream, source->header_, source->dictionary_);
  ReadDictionary(*source, *stream, source->header_);
  source->data_start_ = stream->Tell();
  // Case iterators read the data through windows of their own; a stream
  // buffer beneath them would only copy every byte once more.
  stream->SetBuffered(false);
  source->stream_ = std::move(stream);
  source->dictionary_.ClearModified();
  return source;
}

std::unique_ptr<SystemFileDataSource> SystemFileDataSource::CreateForWriting(
    const std::string& path) {
  std::unique_ptr<SystemFileDataSource> source(new SystemFileDataSource);
  source->writer_ = true;
  source->file_name_ = path;
  return source;
}

std::unique_ptr<VEXA_InputCaseIterator> SystemFileDataSource::CreateIterator(
    char* buffer) {
  if (writer_ || !stream_) return nullptr;
  return std::make_unique<Iterator>(*this, buffer);
}

bool SystemFileDataSource::FindShortName(std::string_view long_name,
                                         std::string* short_name) const {
  // Entries are (short name, long name) pairs as the long names record
  // lists them.
  for (const auto& [short_form, long_form] : name_table_) {
    if (long_form == long_name) {
      if (short_name != nullptr) *short_name = short_form;
      return true;
    }
  }
  return false;
}

}  // namespace vexa
