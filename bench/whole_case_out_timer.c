/* Times writing every case of a file, held in memory, to a new file of the
 * same dictionary and compression with vexaWholeCaseOut: the yardstick of
 * the R and Python writing benchmarks (read_r_bench.R,
 * write_dataframe_bench.py). The cases are read first, out of
 * the timing; a run opens the new file, commits its dictionary, writes the
 * cases and closes it.
 * Prints "write SECONDS CASES CASE_SIZE" for the best of REPEAT runs.
 *   whole_case_out_timer FILE OUT [REPEAT] */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "vexaio.h"

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

/* One run; returns seconds, or -1. */
static double run(const char *in, const char *out, int compression, const char *cases,
                  int count, int size) {
  int h, i;
  double start = now();
  if (vexaOpenWriteCopy(out, in, &h) != VEXA_OK) return -1;
  vexaSetCompression(h, compression);
  if (vexaCommitHeader(h) != VEXA_OK) return -1;
  for (i = 0; i < count; ++i) {
    if (vexaWholeCaseOut(h, cases + (size_t)size * i) != VEXA_OK) return -1;
  }
  if (vexaCloseWrite(h) != VEXA_OK) return -1;
  return now() - start;
}

int main(int argc, char **argv) {
  int repeat = argc > 3 ? atoi(argv[3]) : 5, h, count = 0, size = 0, read = 0, compression = 0, i;
  char *cases;
  double best = -1;
  if (argc < 3) {
    fprintf(stderr, "usage: whole_case_out_timer FILE OUT [REPEAT]\n");
    return 2;
  }
  vexaSetInterfaceEncoding(1);
  if (vexaOpenRead(argv[1], &h) != VEXA_OK) {
    fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  vexaGetCaseSize(h, &size);
  vexaGetNumberofCases(h, &count);
  vexaGetCompression(h, &compression);
  cases = malloc((size_t)size * (size_t)count + 1);
  if (cases == NULL) return 1;
  vexaWholeCasesIn(h, cases, count, &read);
  vexaCloseRead(h);
  for (i = 0; i < repeat; ++i) {
    double s = run(argv[1], argv[2], compression, cases, read, size);
    if (s < 0) {
      fprintf(stderr, "cannot write %s\n", argv[2]);
      return 1;
    }
    if (best < 0 || s < best) best = s;
  }
  printf("write %.6f %d %d\n", best, read, size);
  free(cases);
  return 0;
}
