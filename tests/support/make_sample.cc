// vexa_make_sample OUT: writes the sample system file (support/sample_file.h)
// to OUT.
#include <cstdio>
#include <fstream>
#include <string>

#include "support/sample_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vexa_make_sample OUT\n");
    return 2;
  }
  std::string bytes = vexa::testing::BuildSampleFile(false);
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "vexa_make_sample: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
