#include "io/replacement_file.h"

#include "io/posix_file.h"
#include "support/errors.h"

namespace vexa {

void ReplacementFile::Create(const std::string& path, VEXA_FileStream& stream) {
  Drop();
  path_ = path;
  target_ = WriteTarget(path);
  const bool replaces = FileExists(target_);
  unnamed_ = stream.Open(target_, "w+u");
  // The name of the fallback is taken over without allocating, so that a
  // file made is never lost; while it has the target's content it is
  // closed to others unless the target was not.
  for (int attempt = 0; attempt < 100 && !unnamed_ && beside_.empty(); ++attempt) {
    std::string name = BesideName(target_, attempt);
    if (stream.Open(name, replaces ? "w+x" : "w+n")) beside_.swap(name);
  }
  if (!Active()) throw ErrorText(kErrWriteFailed, path_);
  if (replaces && !Use(stream.SharedFile()).TakeAttributesOf(target_)) {
    stream.Close();
    Drop();
    throw ErrorText(kErrWriteFailed, path_);
  }
}

void ReplacementFile::Finish(VEXA_StrBaseIO& stream) {
  stream.Flush();
  VEXA_File& file = Use(stream.SharedFile());
  file.WriteOut();
  if (FileExists(target_) && !file.Sync()) throw ErrorText(kErrWriteFailed, path_);
  for (int attempt = 0; attempt < 100 && unnamed_ && beside_.empty(); ++attempt) {
    std::string name = BesideName(target_, attempt);
    if (file.Link(name)) beside_.swap(name);
  }
  if (beside_.empty()) throw ErrorText(kErrWriteFailed, path_);
}

void ReplacementFile::Replace() {
  if (beside_.empty() || !RenameFile(beside_, target_)) throw ErrorText(kErrWriteFailed, path_);
  beside_.clear();
  unnamed_ = false;
  FlushDirectoryOf(target_);
}

void ReplacementFile::Drop() {
  if (!beside_.empty()) RemoveFile(beside_);
  beside_.clear();
  unnamed_ = false;
}

}  // namespace vexa
