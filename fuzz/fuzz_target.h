// What every fuzz target shares: the entry point's signature, and running a
// body that may refuse its input. The library's own refusals (file errors,
// data source errors) are answers; anything else escapes and is a finding,
// as are crashes, sanitizer reports, hangs and allocations beyond the
// limits the fuzzer sets. Targets that need a real file (the zlib form
// reads its blocks through a file, a protected file is decrypted from one)
// write their input into a scratch file in memory-backed storage.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dict/data_source.h"
#include "support/errors.h"
#include "support/open_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace vexa::fuzz {

template <class Body>
void Refusable(Body&& body) {
  try {
    body();
  } catch (const SystemFileException&) {
  } catch (const ErrorText&) {
  }
}

inline std::string Bytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Where scratch files and the library's temporary copies go: /dev/shm when
// there is one, so that a run costs no disk I/O.
inline std::string ScratchDirectory() {
  return access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
}

// One file per process, rewritten with each input and removed at exit.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& word)
      : path_(ScratchDirectory() + "vexa-fuzz-" + word + "-" + std::to_string(getpid())) {}
  ~ScratchFile() { unlink(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& Write(const void* data, size_t size) {
    const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
    close(fd);
    return path_;
  }

 private:
  std::string path_;
};

// Every case in order (at most 50,000), then a seek back to the first and
// one into the middle.
inline void ReadCases(VEXA_DataSource& source) {
  constexpr int64_t kMaxCases = 50000;
  const size_t slots = static_cast<size_t>(source.GetDictionary().SlotCount());
  if (slots == 0) return;
  std::vector<char> buffer(slots * 8);
  auto it = source.CreateIterator(buffer.data());
  if (!it) return;
  int64_t n = 0;
  while (n < kMaxCases && it->ReadNext()) ++n;
  it->Seek(0);
  it->ReadNext();
  it->Seek(n / 2);
  it->ReadNext();
}

// A whole file given as bytes, opened from memory and read as above.
inline void ReadBytes(std::string bytes) {
  Refusable([&] { ReadCases(*testing::OpenBytes(std::move(bytes))); });
}

}  // namespace vexa::fuzz
