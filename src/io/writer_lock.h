// WriterLock: one writer of a file at a time. A handle that writes, adds to
// or replaces a file holds an advisory lock of the whole file through an
// open file description of its own, so that a second writer, in this
// process or in another, is refused instead of losing its cases or the
// first one's. Readers take no lock and are never stopped.
#pragma once

#include <memory>
#include <string>

#include "io/posix_file.h"

namespace vexa {

class WriterLock {
 public:
  // Locks the file at `path` (the file a symbolic link points at). True
  // when the lock is held now, or when there is nothing to lock: no file
  // of that name yet, or a file system without such locks. False when
  // another writer holds it.
  bool Take(const std::string& path);
  // Lets the lock go (it also goes with the object).
  void Release() { file_.reset(); }

 private:
  std::unique_ptr<VEXA_File> file_;
};

}  // namespace vexa
