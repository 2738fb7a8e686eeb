// The dictionary part as the writer lays it out, beyond the golden files.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "dict/format_code.h"
#include "support/calendar.h"
#include "sysfile/writer_files.h"

namespace vexa {
namespace {

using testing::CaseCountUnit;
using testing::ErrorNumberOf;
using testing::I32At;
using testing::WriterFile;

// The layout of every record is pinned by the golden files; what they
// cannot show is checked here: the clock, the zlib request, formats with
// bits above the stored ones, cut labels and partial document lines, the
// refused commits.
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
  // Zlib is asked for, byte code is written; the counts wait for the finish.
  EXPECT_EQ(I32At(f.Bytes(), 72), 1);
  EXPECT_EQ(f.Writer().Compression(), 1);
  EXPECT_EQ(I32At(f.Bytes(), 80), -1);
  EXPECT_EQ(CaseCountUnit(f.Bytes(), 0), 1);
  EXPECT_EQ(CaseCountUnit(f.Bytes()), -1);
  f.Finish();
  EXPECT_EQ(I32At(f.Bytes(), 80), 0);
  EXPECT_EQ(CaseCountUnit(f.Bytes()), 0);
  EXPECT_EQ(f.Writer().FinishWriting(), 32);

  auto source = f.Read();
  const Dictionary& d = source->GetDictionary();
  EXPECT_EQ(d.At(0).WriteFormat(), f.Dict().At(0).WriteFormat() & 0x3FFFFF);
  EXPECT_EQ(*d.At(0).ValueLabels().FindNumber(2), std::string(255, 'x'));
  EXPECT_EQ(d.Extensions().Get(kDocumentsType)->contents, docs.substr(0, 160));
  // The creation stamp is now, give or take the clock's resolution.
  const double now_days = DayNumber(1970, 1, 1) + std::time(nullptr) / 86400.0;
  EXPECT_NEAR(d.TimeStamp() / 86400.0, now_days, 1.1);
}

TEST(WriterDictionaryTest, CommitRefusesDuplicateNamesAndASecondCommit) {
  WriterFile dup;
  dup.AddVar("Age", 0);
  dup.AddVar("AGE", 0);
  EXPECT_EQ(ErrorNumberOf([&] { dup.Writer().CommitHeader(); }), kErrDuplicateName);
  EXPECT_EQ(dup.Writer().State(), SystemFileDataSource::kDefining);
  WriterFile twice;
  twice.AddVar("a", 0);
  twice.Writer().CommitHeader();
  EXPECT_EQ(ErrorNumberOf([&] { twice.Writer().CommitHeader(); }), kErrBadState);
}

}  // namespace
}  // namespace vexa
