/* A new file from R: its dictionary from parallel vectors (the shape that
 * vx_dictionary gives), then its cases from columns, a block of whole cases
 * at a time (vexaWholeCaseOut). */
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "vexa_r.h"

static SEXP field(SEXP list, const char *name) {
  SEXP names = Rf_getAttrib(list, R_NamesSymbol);
  for (int i = 0; i < Rf_length(list); ++i)
    if (strcmp(CHAR(STRING_ELT(names, i)), name) == 0) return VECTOR_ELT(list, i);
  Rf_error("vexaio: no field '%s'", name);
}

static const char *text(SEXP s) { return Rf_translateCharUTF8(s); }

static int int_at(SEXP vars, const char *name, int i) { return INTEGER(field(vars, name))[i]; }

static void what_of(char *what, size_t size, const char *doing, const char *name) {
  snprintf(what, size, "%s of variable %s", doing, name);
}

static void define_labels(int h, const char *name, SEXP labels, char *what, size_t size) {
  if (Rf_isNull(labels)) return;
  SEXP names = Rf_getAttrib(labels, R_NamesSymbol);
  what_of(what, size, "setting a value label", name);
  for (int k = 0; k < Rf_length(labels); ++k) {
    const char *label = text(STRING_ELT(names, k));
    int code = TYPEOF(labels) == STRSXP
                   ? vexaSetVarCValueLabel(h, name, text(STRING_ELT(labels, k)), label)
                   : vexaSetVarNValueLabel(h, name, REAL(labels)[k], label);
    vx_check(code, what);
  }
}

static void define_missing(int h, const char *name, SEXP missing, char *what, size_t size) {
  if (Rf_isNull(missing)) return;
  what_of(what, size, "setting the missing values", name);
  if (TYPEOF(missing) == STRSXP) {
    const char *v[3] = {"", "", ""};
    int n = Rf_length(missing) < 3 ? Rf_length(missing) : 3;
    for (int k = 0; k < n; ++k) v[k] = text(STRING_ELT(missing, k));
    vx_check(vexaSetVarCMissingValues(h, name, n, v[0], v[1], v[2]), what);
  } else {
    const double *m = REAL(missing);
    vx_check(vexaSetVarNMissingValues(h, name, (int)m[0], m[1], m[2], m[3]), what);
  }
}

static void define_attributes(int h, const char *var, SEXP attrs, char *what) {
  int n = Rf_length(attrs);
  if (n == 0) return;
  SEXP names = Rf_getAttrib(attrs, R_NamesSymbol);
  const char **keys = (const char **)R_alloc((size_t)n, sizeof(char *));
  const char **values = (const char **)R_alloc((size_t)n, sizeof(char *));
  for (int k = 0; k < n; ++k) {
    keys[k] = text(STRING_ELT(names, k));
    values[k] = text(STRING_ELT(attrs, k));
  }
  vx_check(var ? vexaSetVarAttributes(h, var, keys, values, n)
               : vexaSetFileAttributes(h, keys, values, n),
           what);
}

static void define_variable(int h, SEXP vars, int i) {
  char what[200];
  const char *name = text(STRING_ELT(field(vars, "name"), i));
  what_of(what, sizeof what, "defining", name);
  vx_check(vexaSetVarName(h, name, int_at(vars, "width", i)), what);
  SEXP label = STRING_ELT(field(vars, "label"), i);
  if (label != NA_STRING) vx_check(vexaSetVarLabel(h, name, text(label)), what);
  what_of(what, sizeof what, "setting the formats", name);
  vx_check(vexaSetVarPrintFormat(h, name, int_at(vars, "print_type", i),
                                 int_at(vars, "print_dec", i), int_at(vars, "print_width", i)),
           what);
  vx_check(vexaSetVarWriteFormat(h, name, int_at(vars, "write_type", i),
                                 int_at(vars, "write_dec", i), int_at(vars, "write_width", i)),
           what);
  what_of(what, sizeof what, "setting the display properties", name);
  /* NA leaves the library's default. */
  static const char *props[] = {"measure", "alignment", "display_width", "role"};
  static int (*const setters[])(int, const char *, int) = {
      vexaSetVarMeasureLevel, vexaSetVarAlignment, vexaSetVarColumnWidth, vexaSetVarRole};
  for (int p = 0; p < 4; ++p) {
    int value = int_at(vars, props[p], i);
    if (value != NA_INTEGER) vx_check(setters[p](h, name, value), what);
  }
  define_labels(h, name, VECTOR_ELT(field(vars, "value_labels"), i), what, sizeof what);
  define_missing(h, name, VECTOR_ELT(field(vars, "missing"), i), what, sizeof what);
  what_of(what, sizeof what, "setting the attributes", name);
  define_attributes(h, name, VECTOR_ELT(field(vars, "attributes"), i), what);
}

/* Sets of variables that a file cannot hold (one names a variable left out)
 * are dropped with a warning rather than failing the write. */
static void define_sets(int h, SEXP sets, int (*set)(int, const char *), const char *what) {
  SEXP s = STRING_ELT(sets, 0);
  if (s == NA_STRING) return;
  if (set(h, text(s)) > 0) {
    char detail[512];
    vexaGetLastErrorDetail(detail, (int)sizeof detail);
    Rf_warning("vexaio: the %s are left out: %s", what, detail);
  }
}

SEXP vx_define(SEXP xp, SEXP vars, SEXP file) {
  int h = vx_handle(xp);
  int n = Rf_length(field(vars, "name"));
  for (int i = 0; i < n; ++i) define_variable(h, vars, i);
  SEXP label = STRING_ELT(field(file, "file_label"), 0);
  if (label != NA_STRING) vx_check(vexaSetIdString(h, text(label)), "setting the file label");
  SEXP docs = field(file, "documents");
  int lines = Rf_length(docs);
  if (lines > 0) {
    char *buffer = R_alloc((size_t)lines * VEXA_DOCUMENT_LINE, 1);
    memset(buffer, ' ', (size_t)lines * VEXA_DOCUMENT_LINE);
    for (int k = 0; k < lines; ++k) {
      const char *line = text(STRING_ELT(docs, k));
      size_t len = strlen(line);
      memcpy(buffer + (size_t)k * VEXA_DOCUMENT_LINE, line,
             len < VEXA_DOCUMENT_LINE ? len : VEXA_DOCUMENT_LINE);
    }
    vx_check(vexaSetDocuments(h, buffer, lines), "setting the documents");
  }
  define_attributes(h, NULL, field(file, "attributes"), "setting the file attributes");
  define_sets(h, field(file, "mrsets"), vexaSetMultRespDefs, "multiple-response sets");
  define_sets(h, field(file, "varsets"), vexaSetVariableSets, "variable sets");
  SEXP weight = STRING_ELT(field(file, "weight"), 0);
  if (weight != NA_STRING) vx_check(vexaSetCaseWeightVar(h, text(weight)), "setting the weight");
  vx_check(vexaSetCompression(h, Rf_asInteger(field(file, "compression"))),
           "setting the compression");
  errno = 0;
  int code = vexaCommitHeader(h);
  vx_check_file(code, errno, "writing the dictionary");
  return R_NilValue;
}

static void put_texts(SEXP col, int width, const char *name, R_xlen_t first, int n,
                      unsigned char *buf, int size) {
  size_t slot_size = (size_t)(width + 7) / 8 * 8, len = 0;
  const char *p = "";
  SEXP last = NULL;
  for (int r = 0; r < n; ++r) {
    SEXP s = STRING_ELT(col, first + r);
    if (s != last) {
      /* Repeated values are mostly the same R string: translated once. */
      last = s;
      p = s == NA_STRING ? "" : text(s);
      len = strlen(p);
      if (len > (size_t)width)
        Rf_error("vexaio: the value of %s in row %.0f is %d bytes long, more than %d", name,
                 (double)(first + r) + 1, (int)len, width);
    }
    unsigned char *slot = buf + (size_t)r * size;
    memcpy(slot, p, len);
    memset(slot + len, ' ', slot_size - len);
  }
}

static void put_numbers(SEXP col, int kind, const char *name, R_xlen_t first, int n,
                        unsigned char *buf, int size, double sysmis) {
  double scale = kind == VX_DATE ? VX_DAY : 1.0;
  double shift = kind == VX_DATE || kind == VX_DATETIME ? VX_EPOCH_1970 : 0.0;
  const double *real = TYPEOF(col) == REALSXP ? REAL(col) + first : NULL;
  const int *ints = TYPEOF(col) == INTSXP   ? INTEGER(col) + first
                    : TYPEOF(col) == LGLSXP ? LOGICAL(col) + first
                                            : NULL;
  if (real == NULL && ints == NULL) Rf_error("vexaio: column %s cannot be written", name);
  for (int r = 0; r < n; ++r) {
    double v = real ? real[r] : ints[r] == NA_INTEGER ? NA_REAL : (double)ints[r];
    v = ISNAN(v) ? sysmis : v * scale + shift;
    memcpy(buf + (size_t)r * size, &v, sizeof v);
  }
}

/* Writes the rows of the columns as cases. widths: 0 numeric, else the
 * string width; kinds: how numbers convert (dates from R's epoch). */
SEXP vx_write_cases(SEXP xp, SEXP columns, SEXP kinds, SEXP widths) {
  int h = vx_handle(xp);
  int ncol = Rf_length(columns);
  SEXP names = Rf_getAttrib(columns, R_NamesSymbol);
  int *offset = (int *)R_alloc((size_t)ncol + 1, sizeof(int));
  int size = 0;
  for (int j = 0; j < ncol; ++j) {
    int w = INTEGER(widths)[j];
    offset[j] = size;
    size += w == 0 ? 8 : (w + 7) / 8 * 8;
  }
  int check = 0;
  vx_check(vexaGetCaseSize(h, &check), "reading the case size");
  if (check != size) Rf_error("vexaio: case of %d bytes, the file's are %d", size, check);
  R_xlen_t rows = ncol > 0 ? XLENGTH(VECTOR_ELT(columns, 0)) : 0;
  for (int j = 0; j < ncol; ++j) {
    SEXP col = VECTOR_ELT(columns, j);
    if (XLENGTH(col) != rows || (INTEGER(widths)[j] > 0) != (TYPEOF(col) == STRSXP))
      Rf_error("vexaio: column %d does not fit the others", j + 1);
  }
  int block = (1 << 20) / size > 0 ? (1 << 20) / size : 1;
  SEXP buffer = PROTECT(Rf_allocVector(RAWSXP, (R_xlen_t)block * size));
  unsigned char *buf = RAW(buffer);
  double sysmis = vexaSysmisVal();
  for (R_xlen_t first = 0; first < rows; first += block) {
    int n = rows - first < block ? (int)(rows - first) : block;
    for (int j = 0; j < ncol; ++j) {
      SEXP col = VECTOR_ELT(columns, j);
      const char *name = text(STRING_ELT(names, j));
      if (INTEGER(widths)[j] > 0)
        put_texts(col, INTEGER(widths)[j], name, first, n, buf + offset[j], size);
      else
        put_numbers(col, INTEGER(kinds)[j], name, first, n, buf + offset[j], size, sysmis);
    }
    for (int r = 0; r < n; ++r) {
      errno = 0;
      int code = vexaWholeCaseOut(h, buf + (size_t)r * size);
      if (code > 0) {
        char what[64];
        snprintf(what, sizeof what, "writing case %.0f", (double)(first + r) + 1);
        vx_check_file(code, errno, what);
      }
    }
    R_CheckUserInterrupt();
  }
  UNPROTECT(1);
  return R_NilValue;
}

SEXP vx_validate_names(SEXP names) {
  int n = Rf_length(names);
  SEXP out = PROTECT(Rf_allocVector(INTSXP, n));
  for (int i = 0; i < n; ++i) INTEGER(out)[i] = vexaValidateVarname(text(STRING_ELT(names, i)));
  UNPROTECT(1);
  return out;
}
