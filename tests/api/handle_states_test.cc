// Every call that takes a file handle, on a handle that is not open (never
// opened, out of range, closed) and on open handles of each mode and state:
// the code each gives, and the outputs a refused call leaves reset. (The
// handle table's 100 slots: limits_test.cc.)
#include <array>
#include <string>

#include "api/api_fixture.h"

namespace vexa::testing {
namespace {

enum State { kRead, kWrite, kCommitted, kAppend };
constexpr int OK = VEXA_OK, FR = VEXA_E_OPENED_FOR_READ, FW = VEXA_E_OPENED_FOR_WRITE,
              HC = VEXA_E_HEADER_COMMITTED, NC = VEXA_E_HEADER_NOT_COMMITTED;
using Codes = std::array<int, 4>;  // on a read, write, committed and append handle
constexpr Codes kDefine = {FR, OK, HC, HC}, kAny = {OK, OK, OK, OK},
                kReadCall = {OK, FW, FW, FW}, kData = {FR, NC, OK, OK},
                kFileQuery = {OK, FW, FW, OK}, kCommittedOnly = {OK, NC, OK, OK},
                kWriter = {FR, OK, OK, OK};

struct Row {
  const char* call;
  Call run;
  Codes codes;
  const char* reset;  // Out::Changed() after a refused call
};

// For the calls that take two handles: a read handle and a write handle
// besides the one under test.
int from = -1, to = -1;
const char* kNum[] = {"num"};
const char* kStr[] = {"str"};
const double kTwo = 2, kCase[2] = {3, 0};

#define ROW(call, codes, reset) {#call, VEXA_CALL(call), codes, reset}
const Row kRows[] = {
    ROW(vexaCloseRead(h), kAny, ""), ROW(vexaCloseWrite(h), kAny, ""),
    ROW(vexaCloseAppend(h), kAny, ""), ROW(vexaAbandonFile(h), kWriter, ""),
    ROW(vexaCommitHeader(h), kDefine, ""),
    ROW(vexaSetCompression(h, 1), kDefine, ""), ROW(vexaGetCompression(h, &o.i[0]), kAny, " i0=0"),
    ROW(vexaGetNumberofVariables(h, &o.i[0]), kAny, " i0=0"),
    ROW(vexaGetVarNames(h, &o.i[0], &o.names, &o.types), kAny, " i0=0 names=null types=null"),
    ROW(vexaGetVarInfo(h, 0, o.s[0], &o.i[0]), kAny, " s0= i0=0"),
    ROW(vexaGetVarHandle(h, "num", &o.d[0]), kAny, " d0=0"),
    ROW(vexaSetVarName(h, "new", 0), kDefine, ""), ROW(vexaSetVarLabel(h, "num", "l"), kDefine, ""),
    ROW(vexaGetVarLabelLong(h, "num", o.s[0], 200, &o.i[0]), kAny, " s0= i0=0"),
    ROW(vexaGetVarLabel(h, "num", o.s[0]), kAny, " s0="),
    ROW(vexaSetVarPrintFormat(h, "num", 5, 2, 8), kDefine, ""),
    ROW(vexaSetVarWriteFormat(h, "num", 5, 2, 8), kDefine, ""),
    // A refused format getter gives the preset F8.2.
    ROW(vexaGetVarPrintFormat(h, "num", &o.i[0], &o.i[1], &o.i[2]), kAny, " i0=5 i1=2 i2=8"),
    ROW(vexaGetVarWriteFormat(h, "num", &o.i[0], &o.i[1], &o.i[2]), kAny, " i0=5 i1=2 i2=8"),
    ROW(vexaSetVarMeasureLevel(h, "num", 1), kDefine, ""),
    ROW(vexaGetVarMeasureLevel(h, "num", &o.i[0]), kAny, " i0=0"),
    ROW(vexaSetVarAlignment(h, "num", 1), kDefine, ""),
    ROW(vexaGetVarAlignment(h, "num", &o.i[0]), kAny, " i0=1"),
    ROW(vexaSetVarColumnWidth(h, "num", 1), kDefine, ""),
    ROW(vexaGetVarColumnWidth(h, "num", &o.i[0]), kAny, " i0=0"),
    ROW(vexaSetVarRole(h, "num", 1), kDefine, ""),
    ROW(vexaGetVarRole(h, "num", &o.i[0]), kAny, " i0=0"),
    // The short names exist once the dictionary is committed.
    ROW(vexaGetVarCompatName(h, "num", o.s[0]), kCommittedOnly, " s0="),
    ROW(vexaSetCaseWeightVar(h, "num"), kDefine, ""),
    ROW(vexaGetCaseWeightVar(h, o.s[0]), kAny, " s0="),
    ROW(vexaSetVarNValueLabel(h, "num", 2, "two"), kDefine, ""),
    ROW(vexaSetVarCValueLabel(h, "str", "b", "bravo"), kDefine, ""),
    ROW(vexaSetVarNValueLabels(h, kNum, 1, &kTwo, kNum, 1), kDefine, ""),
    ROW(vexaSetVarCValueLabels(h, kStr, 1, kStr, kStr, 1), kDefine, ""),
    ROW(vexaGetVarNValueLabelLong(h, "num", 1, o.s[0], 20, &o.i[0]), kAny, " s0= i0=0"),
    ROW(vexaGetVarCValueLabelLong(h, "str", "a", o.s[0], 20, &o.i[0]), kAny, " s0= i0=0"),
    ROW(vexaGetVarNValueLabel(h, "num", 1, o.s[0]), kAny, " s0="),
    ROW(vexaGetVarCValueLabel(h, "str", "a", o.s[0]), kAny, " s0="),
    ROW(vexaGetVarNValueLabels(h, "num", &o.values, &o.labels, &o.i[0]), kAny,
        " i0=0 values=null labels=null"),
    ROW(vexaGetVarCValueLabels(h, "str", &o.texts, &o.labels, &o.i[0]), kAny,
        " i0=0 texts=null labels=null"),
    ROW(vexaSetVarNMissingValues(h, "num", 1, 9, 0, 0), kDefine, ""),
    ROW(vexaSetVarCMissingValues(h, "str", 1, "x", nullptr, nullptr), kDefine, ""),
    ROW(vexaGetVarNMissingValues(h, "num", &o.i[0], &o.d[0], &o.d[1], &o.d[2]), kAny,
        " i0=0 d0=0 d1=0 d2=0"),
    ROW(vexaGetVarCMissingValues(h, "str", &o.i[0], o.s[0], o.s[1], o.s[2]), kAny,
        " s0= i0=0 s1= s2="),
    ROW(vexaReadCaseRecord(h), kReadCall, ""), ROW(vexaWholeCaseIn(h, o.s[0]), kReadCall, ""),
    ROW(vexaSeekNextCase(h, 0), kReadCall, ""),
    ROW(vexaGetValueNumeric(h, 1.0, &o.d[0]), kReadCall, " d0=0"),
    ROW(vexaGetValueChar(h, 2.0, o.s[0], 9), kReadCall, " s0="),
    ROW(vexaSetValueNumeric(h, 1.0, 2), kData, ""), ROW(vexaSetValueChar(h, 2.0, "b"), kData, ""),
    ROW(vexaCommitCaseRecord(h), kData, ""), ROW(vexaWholeCaseOut(h, kCase), kData, ""),
    // A count the handle cannot give is -1.
    ROW(vexaGetNumberofCases(h, &o.i[0]), kFileQuery, " i0=-1"),
    ROW(vexaGetEstimatedNofCases(h, &o.i[0]), kFileQuery, " i0=-1"),
    ROW(vexaGetCaseSize(h, &o.i[0]), kCommittedOnly, " i0=0"),
    ROW(vexaSetIdString(h, "x"), kDefine, ""), ROW(vexaGetIdString(h, o.s[0]), kAny, " s0="),
    ROW(vexaGetTimeStamp(h, o.s[0], o.s[1]), kAny, " s0= s1="),
    ROW(vexaGetSystemString(h, o.s[0]), kAny, " s0="),
    ROW(vexaGetReleaseInfo(h, o.i), kAny, " i0=0 i1=0 i2=0"),
    ROW(vexaQueryType7(h, 30, &o.i[0]), kFileQuery, " i0=0"),
    ROW(vexaGetExtensionDataDesc(h, 30, &o.i[0], &o.i[1]), kFileQuery, " i0=0 i1=0"),
    ROW(vexaGetExtensionData(h, 30, 0, &o.i[0], o.s[0]), kFileQuery, " i0=0"),
    // Records and the text information are taken by a handle of any kind.
    ROW(vexaSetExtensionData(h, 30, 1, 1, "z"), kAny, ""), ROW(vexaSetTextInfo(h, "t"), kAny, ""),
    ROW(vexaGetTextInfo(h, o.s[0]), kFileQuery, " s0="),
    ROW(vexaCopyDocuments(from, h), kDefine, ""), ROW(vexaCopyDocuments(h, to), kAny, ""),
    ROW(vexaGetDocuments(h, o.s[0], 300, &o.i[0]), kAny, " i0=0"),
    ROW(vexaSetDocuments(h, std::string(80, 'd').c_str(), 1), kDefine, ""),
};

// Two variables "num" and "str" (A8), each with a label or value label,
// "num" the weight, and a caller record of subtype 30.
int Define(int h) {
  return Each({vexaSetVarName(h, "num", 0), vexaSetVarName(h, "str", 8),
               vexaSetVarLabel(h, "num", "Number"), vexaSetVarNValueLabel(h, "num", 1, "one"),
               vexaSetVarCValueLabel(h, "str", "a", "alpha"), vexaSetCaseWeightVar(h, "num"),
               vexaSetExtensionData(h, 30, 1, 2, "ab")});
}

TEST(HandleStateTest, EveryCallGivesTheCodeOfEachKindOfHandle) {
  TempDir dir;
  const std::string source = dir.File("source.vexa"), write = dir.File("write.vexa"),
                    committed = dir.File("committed.vexa"), other = dir.File("other.vexa");
  int h = -1;
  ASSERT_EQ(Each({vexaOpenWrite(source.c_str(), &h), Define(h), vexaCommitHeader(h),
                  vexaCommitCaseRecord(h), vexaCommitCaseRecord(h), vexaCloseWrite(h)}), VEXA_OK);
  const char* kStates[] = {"read", "write", "committed", "append"};
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.call);
    // A handle of each state, the read one with a current case, and one
    // opened and closed again.
    int handles[4], closed = -1;
    ASSERT_EQ(Each({vexaOpenRead(source.c_str(), &handles[kRead]),
                    vexaReadCaseRecord(handles[kRead]),
                    vexaOpenWrite(write.c_str(), &handles[kWrite]), Define(handles[kWrite]),
                    vexaOpenWrite(committed.c_str(), &handles[kCommitted]),
                    Define(handles[kCommitted]), vexaCommitHeader(handles[kCommitted]),
                    vexaOpenAppend(source.c_str(), &handles[kAppend]),
                    vexaOpenRead(source.c_str(), &from), vexaOpenWrite(other.c_str(), &to),
                    vexaOpenWrite(other.c_str(), &closed), vexaCloseWrite(closed)}), VEXA_OK);
    for (int bad : {-1, 100, 99, closed}) {
      Out o;
      EXPECT_EQ(row.run(bad, o), VEXA_E_BAD_HANDLE) << "handle " << bad;
      EXPECT_EQ(o.Changed(), row.reset) << "handle " << bad;
    }
    for (int s = kRead; s <= kAppend; ++s) {
      Out o;
      EXPECT_EQ(row.run(handles[s], o), row.codes[s]) << kStates[s] << " handle";
      // A refused call leaves its outputs reset.
      EXPECT_EQ(row.codes[s] > 0 ? o.Changed() : row.reset, row.reset) << kStates[s] << " handle";
    }
    for (int open : {handles[0], handles[1], handles[2], handles[3], from, to}) {
      vexaCloseRead(open);
    }
  }
}

}  // namespace
}  // namespace vexa::testing
