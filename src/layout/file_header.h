// The in-memory file header: the values of a file's header record and the
// file-wide settings that reader and writer share.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "layout/case_layout.h"

namespace vexa {

// The values of the machine integer information record (subtype 3).
struct MachineInfo {
  int32_t major = 24;
  int32_t minor = 0;
  int32_t revision = 0;
  int32_t machine_code = 720;
  int32_t float_code = 1;        // IEEE 754
  int32_t compression_code = 1;
  int32_t endianness = 2;        // little-endian
  int32_t character_code = 2;
};

enum class FileKind { kPLAIN = 0, kZLIB = 1, kENCRYPTED = 2 };

// The header's compression codes (VEXA_COMPRESSION_* in the public header).
constexpr int32_t kCompressionNone = 0;
constexpr int32_t kCompressionByteCode = 1;
constexpr int32_t kCompressionZlib = 2;

// Special values.
double SysmisValue();   // bits FFEFFFFFFFFFFFFF
double LowestValue();   // bits FFEFFFFFFFFFFFFE
double HighestValue();  // bits 7FEFFFFFFFFFFFFF

extern const char kDefaultProductText[];  // the header default (51 bytes)
extern const char kWriteProductText[];    // given by the write opens

struct FileHeader {
  FileHeader();

  double bias = 100.0;
  double sysmis;
  double highest;
  double lowest;
  int64_t case_count = -1;         // -1: not recorded
  int32_t nominal_case_size = -1;  // slot count of the file layout once read
  std::string product;
  int32_t layout_code = 2;
  MachineInfo machine;
  int32_t weight_index = 0;
  // One byte per slot of the file layout, 1 where a numeric value lies;
  // present only for a byte-swapped file.
  std::vector<uint8_t> numeric_swap_map;
  int32_t compression = kCompressionNone;
  bool byte_swapped = false;
  bool long_names = false;
  std::bitset<100> subtypes_seen;
  // Stream position of the contents of the 64-bit case count record, or -1.
  int64_t subtype16_position = -1;
  // Its unit count: 2 (a byte-order probe, then the count) or 1 (the count).
  int32_t subtype16_units = 0;
  // The name map of a written file: (caller's name, short name) per
  // variable as the dictionary stood before segmentation. Built at the
  // header commit in dictionary order, sorted by the caller's name once the
  // commit is done; empty for a file that was only read.
  std::vector<std::pair<std::string, std::string>> name_map;
  // Text of the encoding record, empty when the file has none.
  std::string encoding_name;
  // Where the cases' values lie in memory and in the file: read from the
  // file's variables and its very long strings record.
  CaseLayout case_layout;
};

}  // namespace vexa
