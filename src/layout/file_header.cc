#include "layout/file_header.h"

#include <cstring>

namespace vexa {
namespace {

double FromBits(uint64_t bits) {
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

}  // namespace

double SysmisValue() { return FromBits(0xFFEFFFFFFFFFFFFFull); }
double LowestValue() { return FromBits(0xFFEFFFFFFFFFFFFEull); }
double HighestValue() { return FromBits(0x7FEFFFFFFFFFFFFFull); }

const char kDefaultProductText[] =
    "@(#) NORBEX VEXA CALVANE "
    "64-bit "
    "MS Windows"
    " "
    "24.0.0.0";
const char kWriteProductText[] =
    "@(#) VEXA DATA FILE MS Windows 24.0.0.0 vexaio32.dll";

FileHeader::FileHeader()
    : sysmis(SysmisValue()),
      highest(HighestValue()),
      lowest(LowestValue()),
      product(kDefaultProductText) {}

}  // namespace vexa
