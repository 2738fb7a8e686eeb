/* The dictionary of a read handle as R vectors: one entry per variable in
 * parallel vectors, and the file's own metadata. No case is read. */
#include <string.h>

#include "vexa_r.h"

static SEXP utf8(const char *text) { return Rf_mkCharCE(text, CE_UTF8); }

/* A text without its trailing blanks. */
static SEXP trimmed(const char *text, size_t length) {
  while (length > 0 && text[length - 1] == ' ') --length;
  return Rf_mkCharLenCE(text, (int)length, CE_UTF8);
}

static SEXP var_label(int h, const char *name) {
  char buffer[4096];
  int length = 0;
  int code = vexaGetVarLabelLong(h, name, buffer, (int)sizeof buffer, &length);
  vx_check(code, "reading a variable label");
  return code < 0 ? NA_STRING : utf8(buffer);
}

static SEXP value_labels(int h, const char *name, int is_string) {
  char **labels = NULL, **texts = NULL;
  double *numbers = NULL;
  int n = 0;
  int code = is_string ? vexaGetVarCValueLabels(h, name, &texts, &labels, &n)
                       : vexaGetVarNValueLabels(h, name, &numbers, &labels, &n);
  vx_check(code, "reading value labels");
  if (code < 0 || n == 0) return R_NilValue;
  SEXP values = PROTECT(Rf_allocVector(is_string ? STRSXP : REALSXP, n));
  SEXP names = PROTECT(Rf_allocVector(STRSXP, n));
  for (int i = 0; i < n; ++i) {
    if (is_string)
      SET_STRING_ELT(values, i, trimmed(texts[i], strlen(texts[i])));
    else
      REAL(values)[i] = numbers[i];
    SET_STRING_ELT(names, i, utf8(labels[i]));
  }
  if (is_string)
    vexaFreeVarCValueLabels(texts, labels, n);
  else
    vexaFreeVarNValueLabels(numbers, labels, n);
  Rf_setAttrib(values, R_NamesSymbol, names);
  UNPROTECT(2);
  return values;
}

/* Numeric: c(code, v1, v2, v3) as the library gives them; string: the
 * values. NULL without missing values. */
static SEXP missing_values(int h, const char *name, int is_string) {
  int format = 0;
  if (is_string) {
    char v[3][9];
    vx_check(vexaGetVarCMissingValues(h, name, &format, v[0], v[1], v[2]),
             "reading missing values");
    if (format <= 0) return R_NilValue;
    SEXP out = PROTECT(Rf_allocVector(STRSXP, format));
    for (int i = 0; i < format && i < 3; ++i) SET_STRING_ELT(out, i, trimmed(v[i], strlen(v[i])));
    UNPROTECT(1);
    return out;
  }
  double v1 = 0, v2 = 0, v3 = 0;
  vx_check(vexaGetVarNMissingValues(h, name, &format, &v1, &v2, &v3), "reading missing values");
  if (format == 0) return R_NilValue;
  SEXP out = Rf_allocVector(REALSXP, 4);
  REAL(out)[0] = format;
  REAL(out)[1] = v1;
  REAL(out)[2] = v2;
  REAL(out)[3] = v3;
  return out;
}

/* Attributes as a named character vector ("name" or "name[01]"), NULL for
 * none. */
static SEXP attributes(int h, const char *var) {
  char **names = NULL, **texts = NULL;
  int n = 0;
  int code = var ? vexaGetVarAttributes(h, var, &names, &texts, &n)
                 : vexaGetFileAttributes(h, &names, &texts, &n);
  vx_check(code, "reading attributes");
  if (n <= 0) return R_NilValue;
  SEXP out = PROTECT(Rf_allocVector(STRSXP, n));
  SEXP keys = PROTECT(Rf_allocVector(STRSXP, n));
  for (int i = 0; i < n; ++i) {
    SET_STRING_ELT(out, i, utf8(texts[i]));
    SET_STRING_ELT(keys, i, utf8(names[i]));
  }
  vexaFreeAttributes(names, texts, n);
  Rf_setAttrib(out, R_NamesSymbol, keys);
  UNPROTECT(2);
  return out;
}

static SEXP lines(char *text, int code, int (*release)(char *)) {
  if (code != VEXA_OK || text == NULL) return Rf_ScalarString(NA_STRING);
  SEXP out = PROTECT(Rf_ScalarString(utf8(text)));
  release(text);
  UNPROTECT(1);
  return out;
}

static const char *var_fields[] = {"name", "width", "print_type", "print_dec", "print_width",
                                   "write_type", "write_dec", "write_width", "label",
                                   "measure", "alignment", "display_width", "role",
                                   "value_labels", "missing", "attributes", ""};
enum { F_NAME, F_WIDTH, F_PTYPE, F_PDEC, F_PWID, F_WTYPE, F_WDEC, F_WWID, F_LABEL, F_MEASURE,
       F_ALIGN, F_DISPLAY, F_ROLE, F_VLABELS, F_MISSING, F_ATTRS, F_COUNT };

static SEXP variables(int h) {
  int n = 0;
  vx_check(vexaGetNumberofVariables(h, &n), "reading the variable count");
  SEXP out = PROTECT(Rf_mkNamed(VECSXP, var_fields));
  for (int f = 0; f < F_COUNT; ++f) {
    SEXPTYPE type = f == F_NAME || f == F_LABEL ? STRSXP
                    : f >= F_VLABELS            ? VECSXP
                                                : INTSXP;
    SET_VECTOR_ELT(out, f, Rf_allocVector(type, n));
  }
#define INT_FIELD(f) INTEGER(VECTOR_ELT(out, f))[i]
  for (int i = 0; i < n; ++i) {
    char name[VEXA_NAME_BUFFER];
    int width = 0;
    vx_check(vexaGetVarInfo(h, i, name, &width), "reading a variable");
    SET_STRING_ELT(VECTOR_ELT(out, F_NAME), i, utf8(name));
    INT_FIELD(F_WIDTH) = width;
    vx_check(vexaGetVarPrintFormat(h, name, &INT_FIELD(F_PTYPE), &INT_FIELD(F_PDEC),
                                   &INT_FIELD(F_PWID)),
             "reading a print format");
    vx_check(vexaGetVarWriteFormat(h, name, &INT_FIELD(F_WTYPE), &INT_FIELD(F_WDEC),
                                   &INT_FIELD(F_WWID)),
             "reading a write format");
    SET_STRING_ELT(VECTOR_ELT(out, F_LABEL), i, var_label(h, name));
    vx_check(vexaGetVarMeasureLevel(h, name, &INT_FIELD(F_MEASURE)), "reading a measure");
    vx_check(vexaGetVarAlignment(h, name, &INT_FIELD(F_ALIGN)), "reading an alignment");
    vx_check(vexaGetVarColumnWidth(h, name, &INT_FIELD(F_DISPLAY)), "reading a display width");
    vx_check(vexaGetVarRole(h, name, &INT_FIELD(F_ROLE)), "reading a role");
    SET_VECTOR_ELT(VECTOR_ELT(out, F_VLABELS), i, value_labels(h, name, width > 0));
    SET_VECTOR_ELT(VECTOR_ELT(out, F_MISSING), i, missing_values(h, name, width > 0));
    SET_VECTOR_ELT(VECTOR_ELT(out, F_ATTRS), i, attributes(h, name));
  }
#undef INT_FIELD
  UNPROTECT(1);
  return out;
}

static const char *file_fields[] = {"file_label", "documents", "attributes", "mrsets",
                                    "varsets", "encoding", "weight", "compression",
                                    "cases", "variables", ""};

SEXP vx_dictionary(SEXP xp) {
  int h = vx_handle(xp);
  SEXP out = PROTECT(Rf_mkNamed(VECSXP, file_fields));
  char text[VEXA_ENCODING_BUFFER + VEXA_ID_STRING_BUFFER + VEXA_NAME_BUFFER];
  vx_check(vexaGetIdString(h, text), "reading the file label");
  SET_VECTOR_ELT(out, 0, Rf_ScalarString(utf8(text)));

  int count = 0;
  vx_check(vexaGetDocuments(h, NULL, 0, &count), "reading the documents");
  SEXP docs = SET_VECTOR_ELT(out, 1, Rf_allocVector(STRSXP, count));
  if (count > 0) {
    char *buffer = R_alloc((size_t)count * VEXA_DOCUMENT_LINE + 1, 1);
    vx_check(vexaGetDocuments(h, buffer, count * VEXA_DOCUMENT_LINE + 1, &count),
             "reading the documents");
    for (int i = 0; i < count; ++i)
      SET_STRING_ELT(docs, i, trimmed(buffer + (size_t)i * VEXA_DOCUMENT_LINE, VEXA_DOCUMENT_LINE));
  }
  SET_VECTOR_ELT(out, 2, attributes(h, NULL));

  char *sets = NULL;
  int code = vexaGetMultRespDefsEx(h, &sets);
  vx_check(code, "reading the multiple-response sets");
  SET_VECTOR_ELT(out, 3, lines(sets, code, vexaFreeMultRespDefs));
  sets = NULL;
  code = vexaGetVariableSets(h, &sets);
  vx_check(code, "reading the variable sets");
  SET_VECTOR_ELT(out, 4, lines(sets, code, vexaFreeVariableSets));

  vx_check(vexaGetFileEncoding(h, text), "reading the encoding");
  SET_VECTOR_ELT(out, 5, Rf_ScalarString(utf8(text)));
  code = vexaGetCaseWeightVar(h, text);
  vx_check(code, "reading the weight");
  SET_VECTOR_ELT(out, 6, Rf_ScalarString(code == VEXA_OK ? utf8(text) : NA_STRING));
  int compression = 0, cases = 0;
  vx_check(vexaGetCompression(h, &compression), "reading the compression");
  SET_VECTOR_ELT(out, 7, Rf_ScalarInteger(compression));
  vx_check(vexaGetNumberofCases(h, &cases), "reading the case count");
  SET_VECTOR_ELT(out, 8, Rf_ScalarInteger(cases));
  SET_VECTOR_ELT(out, 9, variables(h));
  UNPROTECT(1);
  return out;
}
