// VEXA_FileStream: the buffered stream over one VEXA_File. One buffer of
// kBlockSize bytes; refills start at multiples of 512; requests of a whole
// buffer or more bypass the buffer in both directions.
#pragma once

#include <memory>
#include <string>

#include "dict/ref_counted.h"
#include "io/posix_file.h"
#include "io/stream.h"

namespace vexa {

constexpr size_t kBlockSize = 4190208;  // 0x3FF000

class VEXA_FileStream : public VEXA_StrBaseIO {
 public:
  explicit VEXA_FileStream(size_t buffer_size = kBlockSize);
  ~VEXA_FileStream() override;

  bool Open(const std::string& path, const std::string& mode);
  bool IsOpen() const;
  void Close();

  size_t Read(void* dest, size_t size) override;
  size_t Write(const void* src, size_t size) override;
  int64_t Seek(int64_t offset, int whence) override;
  int64_t Tell() const override { return position_; }
  int64_t Size() override;
  void Flush() override;
  const std::string& Path() const;

 private:
  void LoadBuffer(int64_t position);

  RefPtr<VEXA_File> file_;
  size_t buffer_size_;
  std::unique_ptr<char[]> buffer_;
  int64_t buffer_pos_ = -1;  // file position of buffer_[0], -1 when empty
  size_t buffer_end_ = 0;    // valid bytes in the buffer
  bool dirty_ = false;
  int64_t position_ = 0;
};

}  // namespace vexa
