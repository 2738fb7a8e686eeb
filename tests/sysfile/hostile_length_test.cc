// Length fields that claim more than the file holds, or wrap when added
// to, or are negative: the open must fail with a file error without
// allocating what the lengths ask for.
// This program replaces the global operator new to record the largest
// single allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <tuple>

#include "support/open_bytes.h"
#include "support/sysfile_builder.h"

namespace {

std::atomic<size_t> g_largest{0};

void* TrackedAllocate(size_t size) {
  size_t seen = g_largest.load(std::memory_order_relaxed);
  while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
  }
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(size_t size) { return TrackedAllocate(size); }
void* operator new[](size_t size) { return TrackedAllocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
// The nothrow forms too (the standard library's temporary buffers use
// them), so that every block is freed by the allocator that made it.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return TrackedAllocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace vexa {
namespace {

using testing::SysFileBuilder;

constexpr size_t kAllocationLimit = 64 * 1024;

// One length field of a record, filled with a given value; every other
// field is well formed. Little-endian files: the byte-order paths are swept
// by the record failure and damage sweep tests.
struct LengthField {
  const char* name;
  std::function<std::string(int32_t)> bytes;
};

SysFileBuilder Base() {
  SysFileBuilder b;
  b.Header().NumericVar("a").NumericVar("b").StringVar("s", 20);
  return b;
}

std::string I32(int32_t v) {
  std::string out(4, '\0');
  std::memcpy(out.data(), &v, 4);
  return out;
}

// A long-string value label record for s with the given contents.
std::string LongStringLabels(const std::string& contents) {
  return Base()
      .Extension(21, 1, static_cast<int32_t>(contents.size()), contents)
      .End()
      .Bytes();
}

const LengthField kFields[] = {
    {"VariableLabelLength",
     [](int32_t v) {
       return SysFileBuilder().Header().Int32(2).Int32(0).Int32(1).Int32(0)
           .Int32(0).Int32(0).Text("x", 8).Int32(v).Raw("abcd").End().Bytes();
     }},
    {"DocumentLineCount",
     [](int32_t v) { return Base().Int32(6).Int32(v).Text("", 80).End().Bytes(); }},
    {"LabelCount",
     [](int32_t v) {
       return Base().Int32(3).Int32(v).Raw(std::string(8, 'x'))
           .Raw(std::string(8, '\0')).End().Bytes();
     }},
    {"IndexCount",
     [](int32_t v) {
       return Base().Int32(3).Int32(0).Int32(4).Int32(v).Int32(1).End().Bytes();
     }},
    {"ExtensionUnitSize",
     [](int32_t v) { return Base().Extension(99, v, 2, "ab").End().Bytes(); }},
    {"ExtensionUnitCount",
     [](int32_t v) { return Base().Extension(99, 2, v, "ab").End().Bytes(); }},
    {"MachineRecordCount",
     [](int32_t v) { return Base().Extension(3, 4, v, "abcd").End().Bytes(); }},
    {"LongStringLabelNameLength",
     [](int32_t v) {
       return LongStringLabels(I32(v) + "s" + I32(20) + I32(1) + I32(1) + "a" +
                               I32(1) + "A");
     }},
    {"LongStringLabelCount",
     [](int32_t v) {
       return LongStringLabels(I32(1) + "s" + I32(20) + I32(v) + I32(1) + "a" +
                               I32(1) + "A");
     }},
    {"LongStringLabelValueLength",
     [](int32_t v) {
       return LongStringLabels(I32(1) + "s" + I32(20) + I32(1) + I32(v) + "a" +
                               I32(1) + "A");
     }},
    {"LongStringLabelLabelLength",
     [](int32_t v) {
       return LongStringLabels(I32(1) + "s" + I32(20) + I32(1) + I32(1) + "a" +
                               I32(v) + "A");
     }},
};

// Values that wrap when 8 or 4 is added in 32 bits, and negative ones.
const int32_t kHostileValues[] = {0x7FFFFFFF, 0x7FFFFFFC, 0x7FFFFFF0, -1,
                                  INT32_MIN};

class HostileLengthTest
    : public ::testing::TestWithParam<std::tuple<LengthField, int32_t>> {};

TEST_P(HostileLengthTest, FailsWithoutAHugeAllocation) {
  const auto& [field, value] = GetParam();
  std::string bytes = field.bytes(value);
  ASSERT_LT(bytes.size(), 1000u);
  g_largest.store(0);
  std::optional<long> error = testing::OpenError(bytes);
  size_t largest = g_largest.load();
  EXPECT_TRUE(error == kErrBadStructure || error == kErrTruncated)
      << error.value_or(0);
  EXPECT_LT(largest, kAllocationLimit);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, HostileLengthTest,
    ::testing::Combine(::testing::ValuesIn(kFields),
                       ::testing::ValuesIn(kHostileValues)),
    [](const auto& info) {
      const int32_t v = std::get<1>(info.param);
      return std::string(std::get<0>(info.param).name) + "_" +
             (v < 0 ? "minus" + std::to_string(-int64_t{v})
                    : std::to_string(v));
    });

}  // namespace
}  // namespace vexa
