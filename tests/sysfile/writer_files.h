// Writing small files through the writer and looking at what it wrote: the
// records of the dictionary part, the case data and the cases read back.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dict/case.h"
#include "support/temp_dir.h"
#include "sysfile/case_files.h"
#include "sysfile/layout.h"
#include "support/errors.h"
#include "sysfile/system_file_data_source.h"

namespace vexa::testing {

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline int32_t I32At(std::string_view bytes, size_t offset) {
  int32_t v;
  std::memcpy(&v, bytes.data() + offset, 4);
  return v;
}

inline int64_t I64At(std::string_view bytes, size_t offset) {
  int64_t v;
  std::memcpy(&v, bytes.data() + offset, 8);
  return v;
}

// One dictionary record of a written file: its type, the subtype of an
// extension record, the name field of a variable record, and where its
// contents (after the 16-byte frame of an extension record) start.
struct WrittenRecord {
  int32_t type;
  int32_t subtype_or_width;  // extension subtype; variable record's type
  std::string name;          // variable records
  size_t contents;
};

// Walks the dictionary records of a file in the host's byte order, up to
// and including the termination record.
inline std::vector<WrittenRecord> ListRecords(std::string_view f) {
  std::vector<WrittenRecord> out;
  size_t p = layout::kHeaderSize;
  while (p + 8 <= f.size()) {
    const int32_t type = I32At(f, p);
    if (type == layout::kVariableRecord) {
      const int32_t width = I32At(f, p + 4);
      const int32_t missing = I32At(f, p + 12);
      out.push_back({type, width, std::string(f.substr(p + 24, 8)), p});
      p += 32;
      if (I32At(f, p - 24) != 0) p += 4 + (I32At(f, p) + 3) / 4 * 4;
      p += 8 * static_cast<size_t>(missing < 0 ? -missing : missing);
    } else if (type == layout::kValueLabelRecord) {
      out.push_back({type, I32At(f, p + 4), {}, p + 8});
      const int32_t n = I32At(f, p + 4);
      p += 8;
      for (int32_t i = 0; i < n; ++i) {
        p += 8 + (static_cast<uint8_t>(f[p + 8]) + 8) / 8 * 8;
      }
      out.push_back({I32At(f, p), I32At(f, p + 4), {}, p + 8});
      p += 8 + 4 * static_cast<size_t>(I32At(f, p + 4));
    } else if (type == layout::kDocumentRecord) {
      out.push_back({type, I32At(f, p + 4), {}, p + 8});
      p += 8 + 80 * static_cast<size_t>(I32At(f, p + 4));
    } else if (type == layout::kExtensionRecord) {
      out.push_back({type, I32At(f, p + 4), {}, p + 16});
      p += 16 + static_cast<size_t>(I32At(f, p + 8)) *
                    static_cast<size_t>(I32At(f, p + 12));
    } else {
      out.push_back({type, 0, {}, p + 8});
      break;
    }
  }
  return out;
}

// The extension records of a file, in file order.
inline std::vector<WrittenRecord> ExtensionRecords(std::string_view f) {
  std::vector<WrittenRecord> out;
  for (const WrittenRecord& r : ListRecords(f)) {
    if (r.type == layout::kExtensionRecord) out.push_back(r);
  }
  return out;
}

// The unit `unit` (0: the probe, 1: the count) of the subtype 16 record, or
// -2 when the file has none.
inline int64_t CaseCountUnit(std::string_view f, int unit = 1) {
  for (const WrittenRecord& r : ExtensionRecords(f)) {
    if (r.subtype_or_width == 16) return I64At(f, r.contents + 8 * unit);
  }
  return -2;
}

// The error number `call` throws, or 0 when it returns.
template <typename Call>
long ErrorNumberOf(Call call) {
  try {
    call();
  } catch (const ErrorText& e) {
    return e.number();
  } catch (const SystemFileException& e) {
    return e.number();
  }
  return 0;
}

// A file being written in a temporary directory: variables are added to
// the writer's dictionary, cases are given value by value.
class WriterFile {
 public:
  explicit WriterFile(int compression = 0)
      : path_(dir_.File("out.vexa")),
        writer_(SystemFileDataSource::CreateForWriting(path_)) {
    writer_->SetCompression(compression);
  }

  Dictionary& Dict() { return writer_->GetDictionary(); }
  SystemFileDataSource& Writer() { return *writer_; }
  const std::string& Path() const { return path_; }

  int AddVar(std::string_view name, int type) {
    VEXA_Variable var(type);
    var.SetName(name);
    return Dict().Add(var);
  }

  // A fresh empty case (system-missing numerics, blank strings).
  std::vector<char> EmptyCase() {
    std::vector<char> c(static_cast<size_t>(Dict().SlotCount()) * 8);
    VEXA_Case::Clear(Dict(), c.data());
    return c;
  }
  void SetNumber(std::vector<char>& c, int var, double v) {
    std::memcpy(c.data() + Dict().FirstSlot(var) * 8, &v, 8);
  }
  void SetBytes(std::vector<char>& c, int var, std::string_view bytes) {
    std::memcpy(c.data() + Dict().FirstSlot(var) * 8, bytes.data(), bytes.size());
  }

  void Write(const std::vector<char>& c) { writer_->WriteCase(c.data()); }
  void Finish() { ASSERT_EQ(writer_->FinishWriting(), 0); }
  std::string Bytes() const { return ReadFileBytes(path_); }
  std::unique_ptr<SystemFileDataSource> Read() const {
    return SystemFileDataSource::OpenForReading(path_);
  }

 private:
  TempDir dir_;
  std::string path_;
  std::unique_ptr<SystemFileDataSource> writer_;
};

}  // namespace vexa::testing
