#include "bench_shapes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vexaio.h"

namespace vexa::bench {

void Settle(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  ::fdatasync(fd);
  static char chunk[1 << 20];
  for (int pass = 0; pass < 2; ++pass) {
    off_t at = 0;
    ssize_t got;
    while ((got = ::pread(fd, chunk, sizeof chunk, at)) > 0) at += got;
  }
  ::close(fd);
}

int64_t TargetBytes() {
  const char* mb = std::getenv("VEXA_BENCH_MB");
  return (mb ? std::atoll(mb) : 1024) << 20;
}

void MakeCase(Shape s, int64_t n, char* out) {
  if (s == kSurvey) {
    for (int j = 0; j < kSurveyNumerics; ++j) {
      double v = static_cast<double>((n * 7 + j) % 10 + 1);
      if ((n + j) % 17 == 0) v = vexaSysmisVal();
      if ((n + j) % 13 == 0) v += 0.5;
      std::memcpy(out + j * 8, &v, 8);
    }
    for (int j = 0; j < kSurveyStrings; ++j) {
      char text[9];
      std::snprintf(text, sizeof text, "%-8c", static_cast<char>('A' + (n + j) % 5));
      std::memcpy(out + (kSurveyNumerics + j) * 8, text, 8);
    }
  } else {
    for (int j = 0; j < kWideNumerics; ++j) {
      double v = static_cast<double>(n) * 0.001 + j * 1.37;
      std::memcpy(out + j * 8, &v, 8);
    }
  }
}

std::string VariableName(Shape s, int i) {
  if (i < Numerics(s)) return (s == kSurvey ? "q" : "x") + std::to_string(i);
  return "s" + std::to_string(i - Numerics(s));
}

}  // namespace vexa::bench
