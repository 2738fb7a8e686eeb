// Length fields that claim more than the file holds: the open must fail
// with a file error, quickly, without allocating what the lengths ask for.
// This program replaces the global operator new to record the largest
// single allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>

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

struct HostileCase {
  const char* name;
  std::function<std::string()> bytes;
  long number;
  const char* condition;
};

SysFileBuilder Base() {
  SysFileBuilder b;
  b.Header().NumericVar("a").NumericVar("b");
  return b;
}

const HostileCase kCases[] = {
    {"VariableLabelLength",
     [] {
       return SysFileBuilder().Header().Int32(2).Int32(0).Int32(1).Int32(0)
           .Int32(0).Int32(0).Text("x", 8).Int32(0x7FFFFFF0).Raw("abcd")
           .End().Bytes();
     },
     kErrTruncated, "len == sizeof(recType)"},
    {"DocumentLineCount",
     [] { return Base().Int32(6).Int32(0x7FFFFFF0).Text("", 80).End().Bytes(); },
     kErrTruncated, "len == sizeof(recType)"},
    {"IndexCount",
     [] {
       return Base().Int32(3).Int32(0).Int32(4).Int32(0x7FFFFFF0).Int32(1)
           .End().Bytes();
     },
     kErrTruncated, "len == nVars*sizeof(int32)"},
    {"LabelCount",
     [] {
       // One label of length 0, then the termination record read as the
       // start of a second label.
       return Base().Int32(3).Int32(0x7FFFFFFF).Raw(std::string(8, 'x'))
           .Raw(std::string(8, '\0')).End().Bytes();
     },
     kErrTruncated, "len == header.size()"},
    {"ExtensionSizeTimesCount",
     [] { return Base().Extension(99, 0x10000, 0x10000, "ab").End().Bytes(); },
     kErrTruncated, "len == h[2]*h[1]"},
    {"ExtensionSizeTimesCountBeyond32Bits",
     [] {
       return Base().Extension(99, 0x7FFFFFFF, 0x7FFFFFFF, "ab").End().Bytes();
     },
     kErrTruncated, "len == h[2]*h[1]"},
    {"MachineRecordCount",
     [] { return Base().Extension(3, 4, 0x40000000, "abcd").End().Bytes(); },
     kErrTruncated, "len == h[2]*h[1]"},
};

class HostileLengthTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileLengthTest, FailsWithoutAHugeAllocation) {
  const HostileCase& c = GetParam();
  std::string bytes = c.bytes();
  ASSERT_LT(bytes.size(), 400u);
  g_largest.store(0);
  auto start = std::chrono::steady_clock::now();
  std::optional<testing::FileError> error = testing::OpenError(bytes);
  auto elapsed = std::chrono::steady_clock::now() - start;
  size_t largest = g_largest.load();
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number, c.number);
  EXPECT_EQ(error->condition, c.condition);
  EXPECT_LT(largest, kAllocationLimit);
  EXPECT_LT(elapsed, std::chrono::seconds(1));
}

INSTANTIATE_TEST_SUITE_P(Lengths, HostileLengthTest,
                         ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vexa
