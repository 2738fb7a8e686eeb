// Shared set-up for the C API tests: a temporary directory and a write handle
// whose dictionary the test defines; output arguments that report which of
// them a call changed.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "crypt/crypt_file_stream.h"
#include "support/temp_dir.h"
#include "text/test_locales.h"
#include "vexaio.h"

namespace vexa::testing {

// Calls made in order (a braced list is evaluated from left to right): 0
// when every one gives 0, else the first other result.
inline int Each(std::initializer_list<int> results) {
  for (int r : results)
    if (r != 0) return r;
  return 0;
}

class WriteHandleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(vexaOpenWrite(dir_.File("new.vexa").c_str(), &handle_), VEXA_OK);
  }
  void TearDown() override { if (handle_ >= 0) vexaCloseWrite(handle_); }

  // Commits and closes the handle's file, then writes a copy of its
  // dictionary; returns the paths of both files.
  std::vector<std::string> CommitAndCopy() {
    EXPECT_EQ(Each({vexaCommitHeader(handle_), vexaCloseWrite(handle_)}), VEXA_OK);
    handle_ = -1;
    const std::string first = dir_.File("new.vexa"), copy = dir_.File("copy.vexa");
    int c = -1;
    EXPECT_EQ(Each({vexaOpenWriteCopy(copy.c_str(), first.c_str(), &c), vexaCommitHeader(c),
                    vexaCloseWrite(c)}), VEXA_OK);
    return {first, copy};
  }

  TempDir dir_;
  int handle_ = -1;
};

// Writes the bytes to a new file of the directory and opens it for reading.
inline int OpenBuilt(const TempDir& dir, const std::string& bytes) {
  static int files = 0;
  int h = -1;
  const std::string path = dir.Write("built" + std::to_string(files++) + ".vexa", bytes);
  EXPECT_EQ(vexaOpenRead(path.c_str(), &h), VEXA_OK);
  return h;
}

// A text handed out by `get`, as "code:text".
inline std::string Text(int h, int (*get)(int, char**), int (*release)(char*)) {
  char* text = nullptr;
  const int code = get(h, &text);
  std::string out = std::to_string(code) + ":" + (text ? text : "");
  release(text);
  return out;
}
inline std::string Defs(int h) { return Text(h, vexaGetMultRespDefs, vexaFreeMultRespDefs); }
inline std::string DefsEx(int h) { return Text(h, vexaGetMultRespDefsEx, vexaFreeMultRespDefs); }
inline std::string VarSets(int h) { return Text(h, vexaGetVariableSets, vexaFreeVariableSets); }

// The file's attributes, or a variable's, as "code:name=value;...".
inline std::string Attributes(int h, const char* var = nullptr) {
  char **names = nullptr, **values = nullptr;
  int count = -1;
  const int code = var ? vexaGetVarAttributes(h, var, &names, &values, &count)
                       : vexaGetFileAttributes(h, &names, &values, &count);
  std::string out = std::to_string(code) + ":";
  for (int i = 0; i < count; ++i) out += std::string(names[i]) + "=" + values[i] + ";";
  vexaFreeAttributes(names, values, count);
  return out;
}

// Output arguments for any call, filled with junk beforehand. Changed()
// lists those that no longer hold it, as " s0=text i1=0 d0=-1 names=null".
// Arrays handed out (their count in i0) are released with the object.
struct Out {
  static constexpr int kJunk = 12345;
  static inline char junk_array[8];
  template <typename T>
  static T* Junk() { return reinterpret_cast<T*>(junk_array); }

  char s[3][300] = {"junk", "junk", "junk"};
  int i[3] = {kJunk, kJunk, kJunk};
  double d[3] = {kJunk, kJunk, kJunk};
  char** names = Junk<char*>();  // of variables, with their types
  int* types = Junk<int>();
  double* values = Junk<double>();  // of numeric value labels
  char** texts = Junk<char*>();     // of string value labels
  char** labels = Junk<char*>();

  ~Out() {
    if (Given(names)) vexaFreeVarNames(names, types, i[0]);
    if (Given(values)) vexaFreeVarNValueLabels(values, labels, i[0]);
    if (Given(texts)) vexaFreeVarCValueLabels(texts, labels, i[0]);
  }
  static bool Given(const void* p) { return p != nullptr && p != junk_array; }
  std::string Changed() const {
    std::string r;
    for (int k = 0; k < 3; ++k) {
      const std::string n = std::to_string(k);
      if (std::strcmp(s[k], "junk") != 0) r += " s" + n + "=" + s[k];
      if (i[k] != kJunk) r += " i" + n + "=" + std::to_string(i[k]);
      if (d[k] != kJunk) r += " d" + n + "=" + Number(d[k]);
    }
    const std::pair<const char*, const void*> arrays[] = {{"names", names}, {"types", types},
        {"values", values}, {"texts", texts}, {"labels", labels}};
    for (auto [name, p] : arrays)
      if (p != junk_array) r += std::string(" ") + name + (p ? "=set" : "=null");
    return r;
  }
  static std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
  }
};

// A call on the handle h with its outputs in o, as a plain function.
#define VEXA_CALL(call) []([[maybe_unused]] int h, [[maybe_unused]] Out& o) { return (call); }
using Call = int (*)(int h, Out& o);

// The calling thread's error detail, through a buffer of `length` bytes.
inline std::string LastErrorDetail(int length = 512) {
  std::string buffer(static_cast<size_t>(length), '?');
  EXPECT_EQ(vexaGetLastErrorDetail(buffer.data(), length), VEXA_OK);
  return buffer.c_str();
}

// Adds cases first..last to an open handle whose first variable is numeric;
// 0 or the first other code.
inline int AddIds(int h, int first, int last) {
  int code = VEXA_OK;
  for (int i = first; i <= last && code == VEXA_OK; ++i) {
    code = Each({vexaSetValueNumeric(h, 1, i), vexaCommitCaseRecord(h)});
  }
  return code;
}

// The forms a file can take; a protected one is byte code under a password.
struct Form {
  const char* name;
  int compression;
  const char* password;  // null: a plain file
};
inline constexpr Form kForms[] = {
    {"plain", 0, nullptr}, {"bytecode", 1, nullptr}, {"zlib", 2, nullptr}, {"protected", 1, "pw"}};
inline void PrintTo(const Form& form, std::ostream* out) { *out << form.name; }
// Names each instance of a parameterised test after its parameter's name.
inline constexpr auto kByName = [](const auto& info) { return std::string(info.param.name); };

// The open calls, with the password's variant when one is given.
inline int OpenRead(const std::string& path, const char* password, int* h) {
  return password ? vexaOpenReadEx(path.c_str(), password, h) : vexaOpenRead(path.c_str(), h);
}
inline int OpenWrite(const std::string& path, const char* password, int* h) {
  return password ? vexaOpenWriteEx(path.c_str(), password, h) : vexaOpenWrite(path.c_str(), h);
}
inline int OpenAppend(const std::string& path, const char* password, int* h) {
  return password ? vexaOpenAppendEx(path.c_str(), password, h) : vexaOpenAppend(path.c_str(), h);
}

// Writes the bytes as a protected file, as other writers make them.
inline void Protect(const std::string& path, const std::string& plain, const char* password) {
  crypt::CryptFileStream s;
  s.Open(path, password, "w");
  s.Write(plain.data(), plain.size());
  s.Close();
}

// A new file of one numeric variable "id" holding first..last, protected
// when a password is given (a protected zlib file as other writers make
// them: our writer protects byte code); 0 or the first other code.
inline int WriteIds(const std::string& path, int first, int last, int compression = 0,
                    const char* password = nullptr) {
  const bool sealed_after = password != nullptr && compression == 2;
  int h = -1;
  const int code = Each({OpenWrite(path, sealed_after ? nullptr : password, &h),
                         vexaSetVarName(h, "id", 0), vexaSetCompression(h, compression),
                         vexaCommitHeader(h)});
  const int written = Each({code ? code : AddIds(h, first, last), vexaCloseWrite(h)});
  if (written == VEXA_OK && sealed_after) Protect(path, ReadFile(path), password);
  return written;
}

// The first variable of every case of a file opened with the password (none:
// the plain open), or minus the open's code alone when it fails. Reading
// that ends other than at the end of the data adds minus its code, a close
// that fails -1.
inline std::vector<int> ReadIds(const std::string& path, const char* password = nullptr) {
  int h = -1, code = OpenRead(path, password, &h);
  if (code != VEXA_OK) return {-code};
  std::vector<int> ids;
  double id = 0;
  while ((code = Each({vexaReadCaseRecord(h), vexaGetValueNumeric(h, 1, &id)})) == VEXA_OK) {
    ids.push_back(static_cast<int>(id));
  }
  if (code != VEXA_W_END_OF_DATA) ids.push_back(-code);
  if (vexaCloseRead(h) != VEXA_OK) ids.push_back(-1);
  return ids;
}

// One call of a sequence, with the code and outputs it must give.
struct Step { const char* call; Call run; int code; std::string outputs; };
#define STEP(call, code, outputs) Step{#call, VEXA_CALL(call), code, outputs}

// Runs the steps in order on the handle.
inline void RunSteps(int h, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    Out o;
    EXPECT_EQ(step.run(h, o), step.code) << step.call;
    EXPECT_EQ(o.Changed(), step.outputs) << step.call;
  }
}

// Puts back the interface mode, the locale and the current code page.
class EncodingSettings {
 public:
  EncodingSettings() : mode_(vexaGetInterfaceEncoding()) {}
  ~EncodingSettings() { vexaSetInterfaceEncoding(mode_); }
  // Sets the mode and, for code-page mode, the code page by name.
  void Use(int mode, const char* code_page = nullptr) {
    EXPECT_EQ(vexaSetInterfaceEncoding(mode), VEXA_OK);
    EXPECT_EQ(code_page ? vexaSetCodePage(code_page) : VEXA_OK, VEXA_OK) << (code_page ? code_page : "");
  }

 private:
  int mode_;
  text::testing::ScopedLocale locale_;
};

}  // namespace vexa::testing
