/* The R package's C side: shared declarations of the .Call entry points and
 * the helpers that turn the library's result codes into R conditions. */
#ifndef VEXA_R_H_
#define VEXA_R_H_

#define R_NO_REMAP
#include <R.h>
#include <Rinternals.h>

#include <vexaio.h>

/* Seconds from the file's epoch (14 October 1582) to 1 January 1970. */
#define VX_EPOCH_1970 12219379200.0
#define VX_DAY 86400.0

/* How a column's values cross between the file and R. */
enum vx_kind { VX_NUMBER = 0, VX_STRING = 1, VX_DATE = 2, VX_DATETIME = 3, VX_TIME = 4 };

/* Signals a vexaio_error (a file failure also carries err, the system's
 * errno, as its reason) unless code is VEXA_OK or a warning. */
void vx_check(int code, const char *what);
void vx_check_file(int code, int err, const char *what);

/* The handle inside an external pointer made by the open calls; signals an
 * error when it was closed. */
int vx_handle(SEXP xp);
/* The layout of a case: each variable's byte offset and width (0 numeric). */
typedef struct {
  int count, case_size;
  int *offset, *width;
} vx_layout;
void vx_layout_of(int h, vx_layout *layout);

SEXP vx_open_read(SEXP path, SEXP password);
SEXP vx_open_write(SEXP path, SEXP password);
SEXP vx_close(SEXP xp);
SEXP vx_abandon(SEXP xp);
SEXP vx_dictionary(SEXP xp);
SEXP vx_seek(SEXP xp, SEXP caseNumber);
SEXP vx_read_cases(SEXP xp, SEXP vars, SEXP rows, SEXP kinds, SEXP attrs, SEXP userNa);
SEXP vx_define(SEXP xp, SEXP vars, SEXP file);
SEXP vx_write_cases(SEXP xp, SEXP columns, SEXP kinds, SEXP widths);
SEXP vx_validate_names(SEXP names);

#endif
