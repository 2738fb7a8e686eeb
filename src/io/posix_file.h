// VEXA_File: one open file and positional I/O on it. The only place that
// calls open, pread, pwrite and close; reads and writes retry on EINTR and
// descriptors are opened O_CLOEXEC. Reference counted, so that the copies of
// a stream made for case iterators and the read-ahead worker share it.
//
// A file given a BlockTransform (a protected file) speaks the positions and
// sizes of the plain bytes inside it: a read transforms back only the
// blocks that hold the bytes asked for, after the file's lock is released,
// so that readers on several threads decode side by side; a write stores
// whole blocks in place (reading back an edge block it covers in part) and
// keeps the plain bytes after the last whole block in memory, until
// WriteOut() stores them with their padding as the last block. Undo,
// journal and locks work on the stored bytes, so that a change of a
// protected file is undone as one of a plain file is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "io/block_transform.h"
#include "io/journal.h"
#include "support/ref_counted.h"

namespace vexa {

class VEXA_File : public VEXA_RefCntObject {
 public:
  VEXA_File() = default;
  VEXA_File(const VEXA_File&) = delete;
  VEXA_File& operator=(const VEXA_File&) = delete;
  ~VEXA_File() override;

  // Opens `path` with a mode text (io/open_mode.h); an open file is
  // closed first. Returns false when the file cannot be opened. "w+u" makes
  // a file without a name in the directory of `path` (false where the
  // system has none, or no /proc to name it through): nothing of it stays
  // when the process ends before Link().
  bool Open(const std::string& path, const std::string& mode);
  // Gives an open file the name `name` (a new one, in its directory); false
  // when it cannot (the name exists, among others).
  bool Link(const std::string& name);
  // Gives the open file what the file at `from` has besides its bytes: its
  // owner and group where this user may set them, its permission bits, and
  // its extended attributes (the access control list among them). A group
  // that cannot be kept gets no more than others, and a file whose access
  // control list cannot be kept no group bits: the new file never lets in
  // anyone the old one kept out. False when the permission bits cannot be
  // set; the other parts are kept as far as the file system allows.
  bool TakeAttributesOf(const std::string& from);
  // Marks the file as being written: an advisory lock of the whole file that
  // belongs to this open file description (so two opens in one process
  // exclude each other as two processes do) and goes with the descriptor.
  // 0 when taken; EAGAIN when another open holds it; another errno when the
  // file system has no such locks.
  int LockForWriting();
  bool IsOpen() const { return fd_ >= 0; }
  // From now on the file is seen through `transform`. `fresh`: the file
  // holds the header only and its plain content starts empty; else the
  // plain size comes from the padding of the last block. False (the file
  // stays as it was) when the bytes after the header are no positive whole
  // number of blocks or the padding is not good: a damaged file, or a
  // transform whose key is not the file's. Raises ErrorText kErrReadFailed.
  bool SetTransform(std::shared_ptr<BlockTransform> transform, bool fresh);
  bool Transformed() const { return transform_ != nullptr; }
  // Stores what only memory holds: the last block of a transformed file,
  // with its padding, ending the file there. Sync(), Commit() and Close()
  // do it too; a file let go without any of them keeps its stored bytes.
  // Raises ErrorText kErrWriteFailed.
  void WriteOut();
  // Overwrites plain bytes of a transformed file that are no longer
  // needed (nothing for a plain file).
  void Wipe(void* data, size_t size);
  // Raise ErrorText kErrReadFailed (read) or kErrWriteFailed (write) naming the
  // file on failure.
  size_t ReadAt(void* dest, size_t size, int64_t position);
  size_t WriteAt(const void* src, size_t size, int64_t position);
  int64_t FileSize();
  // Makes what was written durable (after WriteOut()); false on failure.
  bool Sync();
  // Changing a file in place that must stay as it was when the change fails,
  // also by a crash: from now on, the bytes within the file's present size that
  // a write or a cut would change are read and kept first, in memory and in the
  // file's journal on disk (io/journal.h), which starts here and takes the
  // file's lock (a write whose old bytes cannot be kept raises ErrorText
  // kErrWriteFailed or SystemFileException kErrWriteFailed and changes
  // nothing). Raises ErrorText kErrReadFailed when the size cannot be had, and
  // SystemFileException kErrWriteFailed when the journal cannot be started
  // (another writer holds the lock, among others).
  void KeepUndo();
  // Writes the kept bytes back, cuts the file to its size at KeepUndo()
  // and makes that durable, then removes the journal; false when any of it
  // fails (the journal then stays for the next open to play back). Ends the
  // keeping. A file closed while keeping is rolled back so.
  bool Rollback();
  // Makes what was written durable and, while keeping, ends the keeping by
  // removing the journal: the change is done. False on failure, and the
  // keeping goes on, so Rollback() still puts the file back.
  bool Commit();
  // Cuts the file (or extends it with zeros) to `size` bytes. Raises
  // ErrorText kErrWriteFailed on failure.
  void Truncate(int64_t size);
  void Close();
  const std::string& Path() const { return path_; }
  bool Eof() const { return eof_; }
  // False after a failed open, read or write.
  bool Ok() const { return ok_; }
  // The position after the last transfer; an append mode starts at the end.
  int64_t Position() const { return position_; }

 private:
  void CloseLocked();
  bool SyncLocked();
  // Writes all bytes, retrying interrupted and partial writes; false on
  // failure.
  bool WriteAllLocked(const char* in, size_t size, int64_t position);
  void KeepOldLocked(int64_t position, size_t size);
  bool RollbackLocked();
  // Reads up to `size` stored bytes at `position`; fewer only at the end of
  // the file. Raises ErrorText kErrReadFailed.
  size_t ReadAllLocked(char* out, size_t size, int64_t position);
  // Writes stored bytes, keeping the old ones first while keeping undo.
  // Raises ErrorText kErrWriteFailed.
  void StoreLocked(const void* src, size_t size, int64_t position);
  void CutLocked(int64_t size);
  // The size of the stored file. Raises ErrorText kErrReadFailed.
  int64_t StoredSizeLocked();

  // The transformed file (io/block_file.cc): plain positions and sizes.
  size_t ReadPlain(std::unique_lock<std::mutex>& guard, void* dest, size_t size,
                   int64_t position);
  // `src` null writes zeros.
  void WritePlainLocked(const unsigned char* src, size_t size, int64_t position);
  void TruncatePlainLocked(int64_t size);
  // The plain bytes of the whole block at plain `position` (< the start of
  // the last block), read and transformed back.
  // Raises ErrorText `error` when it cannot.
  void LoadBlockLocked(int64_t position, unsigned char* block, long error);
  // The plain size and last block from the stored file; false when they
  // are not good.
  bool LoadTailLocked();
  bool WriteOutLocked();
  void DropTransformLocked();

  std::mutex lock_;
  std::string path_;
  std::string mode_;
  int fd_ = -1;
  bool ok_ = false;
  bool eof_ = false;
  bool delete_on_close_ = false;
  int64_t position_ = 0;
  // KeepUndo(): the size then (-1 when not keeping), and the old bytes by
  // position.
  int64_t undo_size_ = -1;
  std::map<int64_t, std::string> undo_;
  std::unique_ptr<Journal> journal_;
  // A transformed file: its plain size, the plain bytes after its last
  // whole block (those of the size count), and whether the stored last
  // block holds them.
  std::shared_ptr<BlockTransform> transform_;
  int64_t plain_size_ = 0;
  std::array<unsigned char, kTransformBlock> tail_{};
  bool tail_stored_ = true;
};

// The file behind a shared reference. A VEXA_File is shared by the streams
// over it and their workers and never copied on write: its operations are
// serialised by its own lock.
inline VEXA_File& Use(const RefPtr<VEXA_File>& file) {
  return const_cast<VEXA_File&>(*file);
}

// Filesystem queries for the open probes.
bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);
// Replaces `to` by `from` in one step.
bool RenameFile(const std::string& from, const std::string& to);
// Whether the directory that `path` names a file in exists and may have
// files created in it (the probe of a new file to be written).
bool DirectoryTakesNewFiles(const std::string& path);
// The directory a path names a file in: "." for a bare name.
std::string DirectoryOf(const std::string& path);
// The file that writing `path` replaces: the file a symbolic link points
// at, else `path` itself.
std::string WriteTarget(const std::string& path);
// The name of the `attempt`th file written beside `path` (in the same
// directory, hidden, with the process id) to be renamed over it.
std::string BesideName(const std::string& path, int attempt);
// Makes the names in the directory that `path` names a file in durable
// (after a rename into it, a file made or removed); false when it cannot.
bool FlushDirectoryOf(const std::string& path);

}  // namespace vexa
