// The rollback journal of a file changed in place (cases added to it).
// Before a byte of the file's old content changes, the old bytes go to a
// journal beside the file, ".<name>-journal", and reach the disk; the journal
// is removed once the changed file has reached the disk, which is the moment
// the change counts as done. An open that finds a journal whose writer is
// gone (no lock on the file) puts the old bytes back, so a crash at any
// moment leaves the old file or, once the journal is gone, the new one.
//
// The journal, little-endian:
//   header (56 bytes): "VXJOURNL", version 1 (u32), the nanoseconds of the
//     file's birth time (u32), the file's size before the change (i64), the
//     file's device and inode numbers (u64 each), the seconds of its birth
//     time (i64; with the nanoseconds 0 where the file system keeps none),
//     the crc32 of those 48 bytes (u32), 0 (u32);
//   one record per region kept: position (i64), length (u32), the crc32 of
//     those 12 bytes followed by the old bytes (u32), the old bytes.
// A record cut short or whose crc does not match ends the journal: it was
// being written when the process ended, before the file changed there.
// Bytes past the old size need no record: the file is cut back to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexa {

// ".<name>-journal" in the directory of `file`.
std::string JournalPath(const std::string& file);

class Journal {
 public:
  // Starts the journal of the file open for writing at `fd`, named `path` (the
  // file it names, a symbolic link followed), of `size` bytes: creates the
  // journal with the file's permission bits, writes its header and flushes it
  // and the directory. The caller holds the file's writer lock
  // (io/writer_lock.h). Raises SystemFileException kErrWriteFailed when a
  // journal exists already or cannot be made; nothing stays behind then.
  Journal(const std::string& path, int fd, int64_t size);
  // Closes the journal; it stays on disk unless Remove() removed it.
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Adds a record of the old `bytes` at `position`. Raises
  // SystemFileException kErrWriteFailed when it cannot be written.
  void Keep(int64_t position, std::string_view bytes);
  // Flushes the records added; raises SystemFileException kErrWriteFailed on
  // failure, and from then on at every call (what failed to reach the disk may
  // be lost). Nothing of the file may change over kept bytes before this
  // returns.
  void Flush();
  // Removes the journal (one already gone counts as removed) and flushes
  // the directory; false when either fails.
  bool Remove();

 private:
  [[noreturn]] void ThrowBroken() const;

  std::string path_;  // of the journal
  int fd_ = -1;
  int64_t end_ = 0;
  bool dirty_ = false;   // records added since the last flush
  bool broken_ = false;  // a write or flush failed
};

// Puts back the file at `path` (a symbolic link followed) from a journal that
// an interrupted change left beside it, and removes the journal. Does nothing
// when there is none, or while another handle or process holds the file's lock
// (a writer at work); removes a journal whose header is cut or damaged or that
// belongs to another file (nothing of the file had changed). Raises
// SystemFileException kErrReopen when a journal must be played back but the
// file or its directory cannot be written by this process, or when the play
// back fails; the journal stays then, for the next open. A caller that holds
// the file's writer lock itself says so: the journal is then known to be left
// by a writer that is gone.
void RecoverInterruptedChange(const std::string& path, bool writer_lock_held = false);

// Removes the journal beside `path`, if any: the file it belonged to has
// just been replaced by a new one. Best effort.
void RemoveStaleJournal(const std::string& path);

}  // namespace vexa
