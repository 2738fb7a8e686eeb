// Per-variable properties: label, print and write formats, measurement
// level, alignment, column width and role.
#include <cstring>

#include "api/call_guard.h"
#include "api/text_out.h"
#include "dict/format_code.h"
#include "text/interface_encoding.h"
#include "vexaio.h"

using namespace vexa;

namespace {

constexpr size_t kMaxLabelBytes = 256;
constexpr int kShortLabelBuffer = 121;
constexpr int kMaxRole = VEXA_ROLE_RECORD_ID;
constexpr int kMaxMeasureLevel = VEXA_MEASURE_TYPELESS;
constexpr int kScaleLevel = VEXA_MEASURE_SCALE;  // numeric variables only

// The variable named `name`, for a setter ("define") or a getter ("any").
VEXA_Variable& Var(HandleRecord& r, const char* name) {
  return r.Dict().MutableAt(RequireVariable(r, name));
}
const VEXA_Variable& ConstVar(HandleRecord& r, const char* name) {
  return r.Dict().At(RequireVariable(r, name));
}

int SetFormat(int handle, const char* name, int type, int decimals, int width,
              bool write) {
  const int bad = write ? VEXA_E_BAD_WRITE_FORMAT : VEXA_E_BAD_PRINT_FORMAT;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    if (!IsKnownFormatType(type)) return bad;
    int index = RequireVariable(r, name);
    if (!IsValidFormatValues(type, width, decimals, r.Dict().At(index).Type(),
                             write)) {
      return bad;
    }
    Format f{static_cast<uint16_t>(width), static_cast<uint8_t>(type),
             static_cast<uint8_t>(decimals)};
    VEXA_Variable& var = r.Dict().MutableAt(index);
    if (write) {
      var.SetWriteFormat(PackFormat(f));
    } else {
      var.SetPrintFormat(PackFormat(f));
    }
    return VEXA_OK;
  });
}

int GetFormat(int handle, const char* name, int* type, int* decimals,
              int* width, bool write) {
  if (type) *type = kFormatNumeric;
  if (decimals) *decimals = 2;
  if (width) *width = 8;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(type);
    Required(decimals);
    Required(width);
    const VEXA_Variable& var = ConstVar(r, name);
    Format f = UnpackFormat(write ? var.WriteFormat() : var.PrintFormat());
    *type = IsKnownFormatType(f.type) ? f.type : kFormatNumeric;
    *decimals = f.decimals;
    *width = f.width;
    return VEXA_OK;
  });
}

}  // namespace

extern "C" {

VEXA_API int vexaSetVarLabel(int handle, const char* varName,
                             const char* varLabel) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    VEXA_Variable& var = Var(r, varName);
    if (varLabel == nullptr || varLabel[0] == '\0') {
      var.ClearLabel();
      return VEXA_OK;
    }
    size_t len = std::strlen(varLabel);
    if (len <= kMaxLabelBytes) {
      var.SetLabel(varLabel);
      return VEXA_OK;
    }
    var.SetLabel(std::string_view(
        varLabel, text::WholeCharPrefix(varLabel, len, kMaxLabelBytes)));
    return VEXA_W_LABEL_TRUNCATED;
  });
}

VEXA_API int vexaGetVarLabelLong(int handle, const char* varName,
                                 char* labelBuff, int lenBuff, int* lenLabel) {
  if (labelBuff && lenBuff > 0) labelBuff[0] = '\0';
  if (lenLabel) *lenLabel = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(labelBuff);
    if (lenBuff < 1) return kFallbackHandle;
    const VEXA_Variable& var = ConstVar(r, varName);
    if (!var.HasLabel()) return VEXA_W_NO_LABEL;
    int n = CopyWholeCharacters(var.Label(), labelBuff, lenBuff);
    if (lenLabel) *lenLabel = n;
    return VEXA_OK;
  });
}

VEXA_API int vexaGetVarLabel(int handle, const char* varName, char* varLabel) {
  return vexaGetVarLabelLong(handle, varName, varLabel, kShortLabelBuffer,
                             nullptr);
}

VEXA_API int vexaSetVarPrintFormat(int handle, const char* varName,
                                   int printType, int printDec, int printWid) {
  return SetFormat(handle, varName, printType, printDec, printWid, false);
}

VEXA_API int vexaSetVarWriteFormat(int handle, const char* varName,
                                   int writeType, int writeDec, int writeWid) {
  return SetFormat(handle, varName, writeType, writeDec, writeWid, true);
}

VEXA_API int vexaGetVarPrintFormat(int handle, const char* varName,
                                   int* printType, int* printDec,
                                   int* printWid) {
  return GetFormat(handle, varName, printType, printDec, printWid, false);
}

VEXA_API int vexaGetVarWriteFormat(int handle, const char* varName,
                                   int* writeType, int* writeDec,
                                   int* writeWid) {
  return GetFormat(handle, varName, writeType, writeDec, writeWid, true);
}

VEXA_API int vexaSetVarMeasureLevel(int handle, const char* varName,
                                    int measureLevel) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    int index = RequireVariable(r, varName);
    bool numeric = r.Dict().At(index).IsNumeric();
    if (measureLevel < 0 || measureLevel > kMaxMeasureLevel ||
        (measureLevel == kScaleLevel && !numeric)) {
      return VEXA_E_BAD_MEASURE_LEVEL;
    }
    r.Dict().MutableAt(index).SetMeasureLevel(measureLevel);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetVarMeasureLevel(int handle, const char* varName,
                                    int* measureLevel) {
  if (measureLevel) *measureLevel = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(measureLevel);
    int level = ConstVar(r, varName).MeasureLevel();
    *measureLevel = (level >= 0 && level <= kMaxMeasureLevel) ? level : 0;
    return VEXA_OK;
  });
}

VEXA_API int vexaSetVarAlignment(int handle, const char* varName,
                                 int alignment) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    int index = RequireVariable(r, varName);
    // Other values leave the alignment as it was, without complaint.
    if (alignment >= VEXA_ALIGN_LEFT && alignment <= VEXA_ALIGN_CENTER) {
      r.Dict().MutableAt(index).SetAlignment(alignment);
    }
    return VEXA_OK;
  });
}

VEXA_API int vexaGetVarAlignment(int handle, const char* varName,
                                 int* alignment) {
  if (alignment) *alignment = VEXA_ALIGN_RIGHT;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(alignment);
    int a = ConstVar(r, varName).Alignment();
    *alignment = (a >= VEXA_ALIGN_LEFT && a <= VEXA_ALIGN_CENTER) ? a : VEXA_ALIGN_RIGHT;
    return VEXA_OK;
  });
}

VEXA_API int vexaSetVarColumnWidth(int handle, const char* varName,
                                   int columnWidth) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    int index = RequireVariable(r, varName);
    // Widths are held in 16 bits; larger ones are kept at the largest.
    if (columnWidth > 0) {
      r.Dict().MutableAt(index).SetDisplayWidth(
          columnWidth > INT16_MAX ? INT16_MAX : columnWidth);
    }
    return VEXA_OK;
  });
}

VEXA_API int vexaGetVarColumnWidth(int handle, const char* varName,
                                   int* columnWidth) {
  if (columnWidth) *columnWidth = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(columnWidth);
    *columnWidth = static_cast<int16_t>(ConstVar(r, varName).DisplayWidth());
    return VEXA_OK;
  });
}

VEXA_API int vexaSetVarRole(int handle, const char* varName, int varRole) {
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kDefine);
    int index = RequireVariable(r, varName);
    if (varRole < 0 || varRole > kMaxRole) return VEXA_E_BAD_ROLE;
    r.Dict().MutableAt(index).SetRole(varRole);
    return VEXA_OK;
  });
}

VEXA_API int vexaGetVarRole(int handle, const char* varName, int* varRole) {
  if (varRole) *varRole = 0;
  return Guarded(kFallbackHandle, [&] {
    HandleRecord& r = Lookup(handle, Access::kAny);
    Required(varRole);
    int role = ConstVar(r, varName).Role();
    *varRole = (role >= 0 && role <= kMaxRole) ? role : 0;
    return VEXA_OK;
  });
}

}  // extern "C"
