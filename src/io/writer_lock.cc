#include "io/writer_lock.h"

#include <cerrno>

namespace vexa {

bool WriterLock::Take(const std::string& path) {
  Release();
  auto file = std::make_unique<VEXA_File>();
  if (!file->Open(path, "r+")) return true;
  const int error = file->LockForWriting();
  if (error == EAGAIN) return false;
  if (error == 0) file_ = std::move(file);
  return true;
}

}  // namespace vexa
