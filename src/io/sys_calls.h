// The system calls of the file layer on files and names, defined in
// io/posix_file.cc (where the test build of the core can make each of them
// fail, io/fault_injection.h). Code of the file layer beyond VEXA_File makes
// its calls through these, so that the same faults reach it.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace vexa::sys {

int Open(const char* path, int flags, mode_t mode);
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
int Stat(const char* path, struct stat* st);
int Access(const char* path, int how);
// Takes (F_WRLCK, F_RDLCK) or drops (F_UNLCK) a lock on the whole file that
// belongs to the open file description (so two descriptions conflict also
// within one process), without waiting: -1 with EAGAIN or EACCES when
// another description holds a conflicting one. Released with the last
// descriptor of the description.
int LockWholeFile(int fd, short type);

}  // namespace vexa::sys
