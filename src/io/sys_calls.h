// The system calls of the file layer on files and names, defined in
// io/posix_file.cc (where the test build of the core can make each of them
// fail, io/fault_injection.h). Code of the file layer beyond VEXA_File makes
// its calls through these, so that the same faults reach it.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace vexa::sys {

int Open(const char* path, int flags, mode_t mode);
// Open() again while a signal interrupts it; O_CLOEXEC is added.
int OpenRetrying(const char* path, int flags, mode_t mode = 0);
// The name `name` in the open directory `dir`.
int OpenAt(int dir, const char* name, int flags, mode_t mode);
ssize_t Pread(int fd, void* dest, size_t size, off_t at);
ssize_t Pwrite(int fd, const void* src, size_t size, off_t at);
int Fstat(int fd, struct stat* st);
// The status of an open file with the fields of `mask` that the file
// system knows (its stx_mask says which).
int Fstatx(int fd, unsigned int mask, struct statx* st);
int Fsync(int fd);
int Ftruncate(int fd, off_t size);
int Close(int fd);
int Unlink(const char* path);
// AT_REMOVEDIR in `flags` removes an empty directory.
int UnlinkAt(int dir, const char* name, int flags);
int MakeDirectoryAt(int dir, const char* name, mode_t mode);
int Link(const char* from, const char* to);
int Rename(const char* from, const char* to);
int Stat(const char* path, struct stat* st);
// The name itself, not what a symbolic link points at.
int Lstat(const char* path, struct stat* st);
// Stat of `name` in the open directory `dir` (AT_SYMLINK_NOFOLLOW: the name
// itself).
int StatAt(int dir, const char* name, struct stat* st, int flags);
int Access(const char* path, int how);
// The path without links, "." or ".." (at most PATH_MAX bytes); null on
// failure.
char* Realpath(const char* path, char* resolved);
// The names in the open directory but "." and "..", read through a
// descriptor of their own; -1 when it cannot be listed.
int ListDirectory(int dir, std::vector<std::string>* names);
int Fchmod(int fd, mode_t mode);
int Fchown(int fd, uid_t owner, gid_t group);
// The names of the extended attributes of `path` each ending in NUL, the
// value of one of them, and setting one on an open file.
ssize_t ListAttributes(const char* path, char* names, size_t size);
ssize_t GetAttribute(const char* path, const char* name, void* value, size_t size);
int SetAttribute(int fd, const char* name, const void* value, size_t size);
// Whether process `pid` may exist: false only when the system says there is
// no such process.
bool ProcessMayExist(pid_t pid);
pid_t ProcessId();
uid_t EffectiveUser();
// Takes (F_WRLCK, F_RDLCK) or drops (F_UNLCK) a lock on the whole file that
// belongs to the open file description (so two descriptions conflict also
// within one process), without waiting: -1 with EAGAIN or EACCES when
// another description holds a conflicting one. Released with the last
// descriptor of the description.
int LockWholeFile(int fd, short type);

}  // namespace vexa::sys
