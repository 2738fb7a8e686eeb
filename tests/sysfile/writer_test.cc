// The writer beyond what the golden files pin (their append scenarios pin
// the data continued after a partly filled command block and both case
// counts patched): what they cannot show of the dictionary part, refused
// commits, a case write while an appended file is being read, and a total
// beyond the header's 32-bit count.
#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "dict/format_code.h"
#include "io/file_stream.h"
#include "support/calendar.h"
#include "sysfile/save_ds.h"
#include "sysfile/test_files.h"

namespace vexa {
namespace {

using testing::CaseCountUnit;
using testing::ErrorNumberOf;
using testing::I32At;
using testing::SampleCaseBytes;
using testing::WriterFile;

// The layout of every record is pinned by the golden files; what they
// cannot show is checked here: the clock, the zlib request, formats with
// bits above the stored ones, cut labels and partial document lines, a
// second commit refused.
TEST(WriterDictionaryTest, WhatTheGoldenFilesCannotShow) {
  WriterFile f(2);
  VEXA_Variable n(0);
  n.SetName("n");
  n.SetWriteFormat(PackFormat({12, kFormatNumeric, 0}) | 0x01000000u);
  ValueLabelMap labels(0);
  labels.AddNumber(2, std::string(300, 'x'));
  n.SetValueLabels(labels);
  f.Dict().Add(n);
  std::string docs(170, 'd');
  docs[80] = 'e';
  f.Dict().Extensions().Set(kDocumentsType, 1, 170, docs.data());
  f.Writer().CommitHeader();
  EXPECT_EQ(ErrorNumberOf([&] { f.Writer().CommitHeader(); }), kErrBadState);
  // No file before the finish: it is written beside and renamed into place.
  EXPECT_EQ(f.Bytes(), "");
  f.Finish();
  // Zlib is asked for and written; the counts are patched at the finish.
  EXPECT_EQ((std::vector<int64_t>{I32At(f.Bytes(), 72), f.Writer().Compression(),
                                  I32At(f.Bytes(), 80), CaseCountUnit(f.Bytes(), 0),
                                  CaseCountUnit(f.Bytes())}),
            (std::vector<int64_t>{2, 2, 0, 1, 0}));

  auto source = f.Read();
  const Dictionary& d = source->GetDictionary();
  EXPECT_EQ(d.At(0).WriteFormat(), f.Dict().At(0).WriteFormat() & 0x3FFFFF);
  EXPECT_EQ(*d.At(0).ValueLabels().FindNumber(2), std::string(255, 'x'));
  EXPECT_EQ(d.Extensions().Get(kDocumentsType)->contents, docs.substr(0, 160));
  // The creation stamp is now, give or take the clock's resolution.
  const double now_days = DayNumber(1970, 1, 1) + std::time(nullptr) / 86400.0;
  EXPECT_NEAR(d.TimeStamp() / 86400.0, now_days, 1.1);
}

// Whatever a case holds past a string's width in its last slot, the file
// holds blanks there.
TEST(WriterCaseTest, BytesPastAStringsWidthAreBlank) {
  WriterFile f;
  for (auto [name, width] : {std::pair{"s", 254}, {"t", 3}, {"u", 8}}) f.AddVar(name, width);
  const std::string given = std::string(254, 'x') + "ZZabcZZZZZ12345678";
  f.Writer().WriteCase(given.data());
  f.Finish();
  EXPECT_EQ(f.Bytes().substr(f.Bytes().size() - given.size()),
            std::string(254, 'x') + "  abc     12345678");
}

TEST(WriterDictionaryTest, CommitRefusesDuplicateNames) {
  WriterFile dup;
  dup.AddVar("Age", 0);
  dup.AddVar("AGE", 0);
  EXPECT_EQ(ErrorNumberOf([&] { dup.Writer().CommitHeader(); }), kErrDuplicateName);
  EXPECT_EQ(dup.Writer().State(), SystemFileDataSource::kDefining);
}

// A finished file of two sample cases of the variables a, b (numeric) and
// s (A8), appended to.
TEST(AppendTest, AWriteWhileAnIteratorIsOpenIsAStateError) {
  WriterFile f(1);
  for (auto [name, width] : {std::pair{"a", 0}, {"b", 0}, {"s", 8}}) f.AddVar(name, width);
  for (int i = 0; i < 2; ++i) f.Writer().WriteCase(SampleCaseBytes(i).data());
  f.Finish();
  auto source = SystemFileDataSource::OpenForAppending(f.Path());
  {
    std::vector<char> buffer(24);
    auto iterator = source->CreateIterator(buffer.data());
    ASSERT_NE(iterator, nullptr);
    EXPECT_EQ(ErrorNumberOf([&] { source->WriteCase(SampleCaseBytes(2).data()); }),
              kErrBadState);
  }
  source->WriteCase(SampleCaseBytes(2).data());
  EXPECT_EQ(source->FinishWriting(), 0);
  EXPECT_EQ(I32At(f.Bytes(), 80), 3);
}

// A total beyond the 32-bit field: the header says -1, the 64-bit record
// has the count.
TEST(CaseCountPatchTest, TotalsOf2To31AndMoreLeaveTheHeaderUnrecorded) {
  WriterFile f;
  f.AddVar("a", 0);
  auto stream = std::make_unique<VEXA_FileStream>();
  ASSERT_TRUE(stream->Open(f.Path(), "w+"));
  SystemFileDataSource::SaveDS save(f.Writer(), std::move(stream));
  save.WriteDictionary();
  save.StartCases(2147483647, 0);
  const double one = 1.0;
  save.WriteCase(reinterpret_cast<const char*>(&one));
  save.Complete();
  const std::string bytes = f.Bytes();
  EXPECT_EQ(I32At(bytes, 80), -1);
  EXPECT_EQ(CaseCountUnit(bytes), int64_t{2147483648});
}

}  // namespace
}  // namespace vexa
