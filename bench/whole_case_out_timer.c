/* Times vexaWholeCaseOut over every case of a file, the yardstick of the
 * Python writing benchmark (write_dataframe_bench.py): the cases of FILE are
 * read once into one prepared buffer, then written to OUT from it, one
 * vexaWholeCaseOut a case, with FILE's dictionary (names and widths) and
 * byte-code compression. Prints "SECONDS CASES CASE_SIZE" for the best of
 * REPEAT writes.
 *   whole_case_out_timer FILE OUT [REPEAT] */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "vexaio.h"

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char **argv) {
  int h, w, count, size, n, r, i, repeat = argc > 3 ? atoi(argv[3]) : 3;
  char **names;
  int *types;
  char *buffer;
  double best = -1;
  if (argc < 3) {
    fprintf(stderr, "usage: whole_case_out_timer FILE OUT [REPEAT]\n");
    return 2;
  }
  vexaSetInterfaceEncoding(1);
  if (vexaOpenRead(argv[1], &h) != VEXA_OK) return 1;
  vexaGetCaseSize(h, &size);
  vexaGetNumberofCases(h, &count);
  buffer = malloc((size_t)size * (size_t)count);
  if (buffer == NULL || vexaGetVarNames(h, &n, &names, &types) != VEXA_OK) return 1;
  for (i = 0; i < count && vexaWholeCaseIn(h, buffer + (size_t)size * i) == VEXA_OK; ++i) {
  }
  vexaCloseRead(h);
  for (r = 0; r < repeat; ++r) {
    double start = now();
    if (vexaOpenWrite(argv[2], &w) != VEXA_OK) return 1;
    vexaSetCompression(w, VEXA_COMPRESSION_BYTECODE);
    for (i = 0; i < n; ++i) vexaSetVarName(w, names[i], types[i]);
    if (vexaCommitHeader(w) != VEXA_OK) return 1;
    for (i = 0; i < count; ++i) {
      if (vexaWholeCaseOut(w, buffer + (size_t)size * i) != VEXA_OK) return 1;
    }
    if (vexaCloseWrite(w) != VEXA_OK) return 1;
    if (best < 0 || now() - start < best) best = now() - start;
  }
  vexaFreeVarNames(names, types, n);
  free(buffer);
  printf("%.4f %d %d\n", best, count, size);
  return 0;
}
