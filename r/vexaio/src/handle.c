/* Open handles as external pointers. The pointer's protected value holds the
 * handle and its mode; a finalizer closes a read handle and abandons a write
 * handle that R code did not close, so an error or an interrupt that leaves
 * the R functions early never leaves a handle open or a file half written. */
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "vexa_r.h"

enum { MODE_READ = 0, MODE_WRITE = 1 };

static int *slot(SEXP xp) { return INTEGER(R_ExternalPtrProtected(xp)); }

static void release(SEXP xp) {
  int *s = slot(xp);
  if (s[0] < 0) return;
  if (s[1] == MODE_READ)
    vexaCloseRead(s[0]);
  else
    vexaAbandonFile(s[0]);
  s[0] = -1;
}

static void finalize(SEXP xp) { release(xp); }

static SEXP wrap(int h, int mode) {
  SEXP state = PROTECT(Rf_allocVector(INTSXP, 2));
  INTEGER(state)[0] = h;
  INTEGER(state)[1] = mode;
  SEXP xp = PROTECT(R_MakeExternalPtr(NULL, Rf_install("vexaio_handle"), state));
  R_RegisterCFinalizerEx(xp, finalize, TRUE);
  UNPROTECT(2);
  return xp;
}

int vx_handle(SEXP xp) {
  if (TYPEOF(xp) != EXTPTRSXP || R_ExternalPtrTag(xp) != Rf_install("vexaio_handle"))
    Rf_error("vexaio: not a file handle");
  int h = slot(xp)[0];
  if (h < 0) Rf_error("vexaio: the file handle is closed");
  return h;
}

static const char *password_of(SEXP password) {
  return Rf_isNull(password) ? NULL : Rf_translateCharUTF8(STRING_ELT(password, 0));
}

static SEXP open_file(SEXP path, SEXP password, int mode) {
  const char *name = Rf_translateCharUTF8(STRING_ELT(path, 0));
  const char *pw = password_of(password);
  int h = -1;
  errno = 0;
  int code = mode == MODE_READ ? (pw ? vexaOpenReadU8Ex(name, pw, &h) : vexaOpenReadU8(name, &h))
                               : (pw ? vexaOpenWriteU8Ex(name, pw, &h) : vexaOpenWriteU8(name, &h));
  int err = errno;
  char what[512];
  snprintf(what, sizeof what, "opening \"%s\"%s", name, mode == MODE_READ ? "" : " to write");
  vx_check_file(code, err, what);
  return wrap(h, mode);
}

SEXP vx_open_read(SEXP path, SEXP password) { return open_file(path, password, MODE_READ); }

SEXP vx_open_write(SEXP path, SEXP password) { return open_file(path, password, MODE_WRITE); }

/* Closes a read handle, or finishes the file of a write handle. */
SEXP vx_close(SEXP xp) {
  int *s = slot(xp);
  if (s[0] < 0) return R_NilValue;
  int h = s[0];
  s[0] = -1;
  errno = 0;
  int code = s[1] == MODE_READ ? vexaCloseRead(h) : vexaCloseWrite(h);
  vx_check_file(code, errno, s[1] == MODE_READ ? "closing the file" : "finishing the file");
  return R_NilValue;
}

/* Gives up a write handle: the target stays as it was. */
SEXP vx_abandon(SEXP xp) {
  release(xp);
  return R_NilValue;
}

SEXP vx_seek(SEXP xp, SEXP caseNumber) {
  vx_check(vexaSeekNextCase(vx_handle(xp), Rf_asInteger(caseNumber)), "seeking the first case");
  return R_NilValue;
}

void vx_layout_of(int h, vx_layout *layout) {
  int n = 0, *types = NULL;
  char **names = NULL;
  vx_check(vexaGetNumberofVariables(h, &n), "reading the variable count");
  /* R's memory first: nothing of the library's is held if it fails. */
  layout->offset = (int *)R_alloc((size_t)n + 1, sizeof(int));
  layout->width = (int *)R_alloc((size_t)n + 1, sizeof(int));
  vx_check(vexaGetVarNames(h, &n, &names, &types), "reading the variable names");
  layout->count = n;
  int at = 0;
  for (int i = 0; i < n; ++i) {
    layout->offset[i] = at;
    layout->width[i] = types[i];
    at += types[i] == 0 ? 8 : (types[i] + 7) / 8 * 8;
  }
  layout->case_size = at;
  vexaFreeVarNames(names, types, n);
}
