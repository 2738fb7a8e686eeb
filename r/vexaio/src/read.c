/* Cases into R columns. Whole cases arrive in blocks (vexaWholeCasesInEx,
 * system-missing as NaN) into one buffer of R's, and each selected
 * variable's slots are copied into its column: numbers as doubles (dates
 * shifted to R's epoch), texts without trailing blanks. Only the selected
 * columns are decoded. A text equal to one seen before in its column takes
 * the same R string, found in a small cache, so repeated values cost a
 * comparison rather than a lookup in R's global string table. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "vexa_r.h"

#define CACHE_SLOTS 256
#define BLOCK_BYTES (1 << 20)

typedef struct {
  int var, kind, offset, width;
  int missing_format; /* 0 none; 1-3 values; -2 range; -3 range and value */
  double missing[3];
  int missing_texts;
  char missing_text[3][9];
  SEXP *cache;
  uint64_t *keys;
} column_plan;

static uint64_t key_of(const char *p, int n) {
  uint64_t k = 1469598103934665603ULL ^ (uint64_t)n;
  for (int i = 0; i < n; ++i) k = (k ^ (unsigned char)p[i]) * 1099511628211ULL;
  return k;
}

static int numeric_missing(const column_plan *c, double v) {
  switch (c->missing_format) {
    case 3: if (v == c->missing[2]) return 1; /* fall through */
    case 2: if (v == c->missing[1]) return 1; /* fall through */
    case 1: return v == c->missing[0];
    case -3: if (v == c->missing[2]) return 1; /* fall through */
    case -2: return v >= c->missing[0] && v <= c->missing[1];
    default: return 0;
  }
}

static int text_missing(const column_plan *c, const char *p, int n) {
  for (int i = 0; i < c->missing_texts; ++i)
    if ((int)strlen(c->missing_text[i]) == n && memcmp(c->missing_text[i], p, (size_t)n) == 0)
      return 1;
  return 0;
}

static void plan_missing(int h, column_plan *c) {
  char name[VEXA_NAME_BUFFER];
  int type = 0;
  vx_check(vexaGetVarInfo(h, c->var, name, &type), "reading a variable");
  if (c->kind == VX_STRING) {
    vx_check(vexaGetVarCMissingValues(h, name, &c->missing_texts, c->missing_text[0],
                                      c->missing_text[1], c->missing_text[2]),
             "reading missing values");
    for (int i = 0; i < c->missing_texts; ++i) {
      size_t n = strlen(c->missing_text[i]);
      while (n > 0 && c->missing_text[i][n - 1] == ' ') c->missing_text[i][--n] = '\0';
    }
  } else {
    vx_check(vexaGetVarNMissingValues(h, name, &c->missing_format, &c->missing[0],
                                      &c->missing[1], &c->missing[2]),
             "reading missing values");
  }
}

static void fill_numbers(const column_plan *c, const unsigned char *buf, int n, int size,
                         double *out) {
  const unsigned char *p = buf + c->offset;
  if (c->kind == VX_NUMBER && c->missing_format == 0) {
    for (int r = 0; r < n; ++r, p += size) {
      double v;
      memcpy(&v, p, sizeof v);
      out[r] = isnan(v) ? NA_REAL : v;
    }
    return;
  }
  for (int r = 0; r < n; ++r, p += size) {
    double v;
    memcpy(&v, p, sizeof v);
    if (isnan(v) || (c->missing_format != 0 && numeric_missing(c, v))) {
      out[r] = NA_REAL;
      continue;
    }
    switch (c->kind) {
      case VX_DATE: v = (v - VX_EPOCH_1970) / VX_DAY; break;
      case VX_DATETIME: v -= VX_EPOCH_1970; break;
      default: break;
    }
    out[r] = v;
  }
}

/* Texts of at most 8 bytes: the slot's word is its own cache key, so a value
 * seen before costs one comparison. */
static void fill_short_texts(column_plan *c, const unsigned char *buf, int n, int size,
                             SEXP out, R_xlen_t first) {
  const unsigned char *p = buf + c->offset;
  for (int r = 0; r < n; ++r, p += size) {
    uint64_t word;
    memcpy(&word, p, sizeof word);
    unsigned slot = (unsigned)((word * 0x9E3779B97F4A7C15ULL) >> 56) & (CACHE_SLOTS - 1);
    SEXP s = c->cache[slot];
    if (s == NULL || c->keys[slot] != word) {
      const char *text = (const char *)p;
      int len = c->width;
      while (len > 0 && (text[len - 1] == ' ' || text[len - 1] == '\0')) --len;
      s = c->missing_texts > 0 && text_missing(c, text, len) ? NA_STRING
                                                              : Rf_mkCharLenCE(text, len, CE_UTF8);
      c->cache[slot] = s;
      c->keys[slot] = word;
    }
    SET_STRING_ELT(out, first + r, s);
  }
}

static void fill_texts(column_plan *c, const unsigned char *buf, int n, int size, SEXP out,
                       R_xlen_t first) {
  if (c->width <= 8) {
    fill_short_texts(c, buf, n, size, out, first);
    return;
  }
  const unsigned char *p = buf + c->offset;
  for (int r = 0; r < n; ++r, p += size) {
    const char *text = (const char *)p;
    int len = c->width;
    while (len > 0 && (text[len - 1] == ' ' || text[len - 1] == '\0')) --len;
    if (c->missing_texts > 0 && text_missing(c, text, len)) {
      SET_STRING_ELT(out, first + r, NA_STRING);
      continue;
    }
    uint64_t k = key_of(text, len);
    unsigned slot = (unsigned)((k >> 32) ^ k) & (CACHE_SLOTS - 1);
    SEXP s = c->cache[slot];
    if (s == NULL || c->keys[slot] != k || LENGTH(s) != len ||
        memcmp(CHAR(s), text, (size_t)len) != 0) {
      s = Rf_mkCharLenCE(text, len, CE_UTF8);
      c->cache[slot] = s;
      c->keys[slot] = k;
    }
    /* The column holds the string, so the cache's pointer stays valid. */
    SET_STRING_ELT(out, first + r, s);
  }
}

static SEXP resized(SEXP columns, R_xlen_t length) {
  for (R_xlen_t j = 0; j < XLENGTH(columns); ++j)
    SET_VECTOR_ELT(columns, j, Rf_xlengthgets(VECTOR_ELT(columns, j), length));
  return columns;
}

/* Reads at most `rows` cases (a double, Inf for all) from the current case
 * into columns of the variables `vars` (0-based); `expect` cases are
 * expected (-1 unknown). Columns get the attributes of `attrs`. */
SEXP vx_read_cases(SEXP xp, SEXP vars, SEXP rows, SEXP kinds, SEXP attrs, SEXP userNa) {
  int h = vx_handle(xp);
  vx_layout layout;
  vx_layout_of(h, &layout);
  int ncol = LENGTH(vars);
  double limit = REAL(rows)[0], expect = REAL(rows)[1];
  column_plan *plan = (column_plan *)R_alloc((size_t)ncol + 1, sizeof(column_plan));
  memset(plan, 0, sizeof(column_plan) * ((size_t)ncol + 1));
  for (int j = 0; j < ncol; ++j) {
    column_plan *c = &plan[j];
    c->var = INTEGER(vars)[j];
    if (c->var < 0 || c->var >= layout.count) Rf_error("vexaio: no variable %d", c->var + 1);
    c->kind = INTEGER(kinds)[j];
    c->offset = layout.offset[c->var];
    c->width = layout.width[c->var];
    if (!Rf_asLogical(userNa)) plan_missing(h, c);
    if (c->kind == VX_STRING) {
      c->cache = (SEXP *)R_alloc(CACHE_SLOTS, sizeof(SEXP));
      c->keys = (uint64_t *)R_alloc(CACHE_SLOTS, sizeof(uint64_t));
      memset(c->cache, 0, CACHE_SLOTS * sizeof(SEXP));
    }
  }
  double start = expect >= 0 ? fmin(expect, limit) : fmin(limit, 65536.0);
  R_xlen_t capacity = (R_xlen_t)start, got = 0;
  SEXP columns = PROTECT(Rf_allocVector(VECSXP, ncol));
  for (int j = 0; j < ncol; ++j)
    SET_VECTOR_ELT(columns, j, Rf_allocVector(plan[j].kind == VX_STRING ? STRSXP : REALSXP,
                                              capacity));
  int size = layout.case_size;
  int block = BLOCK_BYTES / size > 0 ? BLOCK_BYTES / size : 1;
  SEXP buffer = PROTECT(Rf_allocVector(RAWSXP, (R_xlen_t)block * size));
  unsigned char *buf = RAW(buffer);
  /* Cases are read into the buffer first: the columns grow only when the
   * file holds more cases than its header said. */
  while ((double)got < limit) {
    double left = limit - (double)got;
    int want = left < block ? (int)left : block, read = 0;
    int code = vexaWholeCasesInEx(h, buf, want, VEXA_CASES_NAN_FOR_SYSMIS, &read);
    if (code > 0) {
      char what[64];
      snprintf(what, sizeof what, "reading case %.0f", (double)got + read + 1);
      vx_check_file(code, 0, what);
    }
    if (got + read > capacity) {
      capacity = (R_xlen_t)fmin(limit, fmax(2.0 * (double)capacity, (double)(got + read) + 65536.0));
      resized(columns, capacity);
    }
    for (int j = 0; j < ncol; ++j) {
      SEXP col = VECTOR_ELT(columns, j);
      if (plan[j].kind == VX_STRING)
        fill_texts(&plan[j], buf, read, size, col, got);
      else
        fill_numbers(&plan[j], buf, read, size, REAL(col) + got);
    }
    got += read;
    if (read < want) break;
    R_CheckUserInterrupt();
  }
  if (got != capacity) resized(columns, got);
  for (int j = 0; j < ncol; ++j) {
    SEXP a = VECTOR_ELT(attrs, j), names = Rf_getAttrib(a, R_NamesSymbol);
    for (int k = 0; k < Rf_length(a); ++k)
      Rf_setAttrib(VECTOR_ELT(columns, j), Rf_installChar(STRING_ELT(names, k)),
                   VECTOR_ELT(a, k));
  }
  UNPROTECT(2);
  return columns;
}
