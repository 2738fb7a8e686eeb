/* Registration of the .Call entry points, the library's UTF-8 interface, and
 * the conversion of result codes into R conditions. */
#include <errno.h>
#include <string.h>

#include <R_ext/Rdynload.h>

#include "vexa_r.h"

/* Builds the condition in R (vexaio:::signal_vexa_error) and signals it.
 * Nothing of the library's is held when this is called: the longjmp out of
 * it leaves no memory behind. */
static void signal_error(int code, int err, const char *what) {
  char detail[1024];
  vexaGetLastErrorDetail(detail, (int)sizeof detail);
  SEXP args = PROTECT(Rf_allocVector(VECSXP, 5));
  SET_VECTOR_ELT(args, 0, Rf_ScalarInteger(code));
  SET_VECTOR_ELT(args, 1, Rf_mkString(vexaResultText(code)));
  SET_VECTOR_ELT(args, 2, Rf_ScalarString(Rf_mkCharCE(what, CE_UTF8)));
  SET_VECTOR_ELT(args, 3, Rf_ScalarString(Rf_mkCharCE(detail, CE_UTF8)));
  SET_VECTOR_ELT(args, 4, Rf_mkString(err != 0 ? strerror(err) : ""));
  SEXP call = PROTECT(Rf_lang6(Rf_install("signal_vexa_error"), VECTOR_ELT(args, 0),
                               VECTOR_ELT(args, 1), VECTOR_ELT(args, 2), VECTOR_ELT(args, 3),
                               VECTOR_ELT(args, 4)));
  SEXP ns = PROTECT(R_FindNamespace(Rf_mkString("vexaio")));
  Rf_eval(call, ns);
  UNPROTECT(3);
}

void vx_check(int code, const char *what) {
  if (code > 0) signal_error(code, 0, what);
}

void vx_check_file(int code, int err, const char *what) {
  if (code > 0) signal_error(code, err, what);
}

static const R_CallMethodDef call_methods[] = {
    {"vx_open_read", (DL_FUNC)&vx_open_read, 2},
    {"vx_open_write", (DL_FUNC)&vx_open_write, 2},
    {"vx_close", (DL_FUNC)&vx_close, 1},
    {"vx_abandon", (DL_FUNC)&vx_abandon, 1},
    {"vx_dictionary", (DL_FUNC)&vx_dictionary, 1},
    {"vx_seek", (DL_FUNC)&vx_seek, 2},
    {"vx_read_cases", (DL_FUNC)&vx_read_cases, 6},
    {"vx_define", (DL_FUNC)&vx_define, 3},
    {"vx_write_cases", (DL_FUNC)&vx_write_cases, 4},
    {"vx_validate_names", (DL_FUNC)&vx_validate_names, 1},
    {NULL, NULL, 0}};

void R_init_vexaio(DllInfo *dll) {
  R_registerRoutines(dll, NULL, call_methods, NULL, NULL);
  R_useDynamicSymbols(dll, FALSE);
  R_forceSymbols(dll, TRUE);
  /* Texts cross the interface in UTF-8, as R keeps them. The setting is
   * process-wide and changes only while no file is open. */
  vexaSetInterfaceEncoding(1);
}
