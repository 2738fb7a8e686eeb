/* Times vexaWholeCaseIn over every case of a file, the yardstick of the
 * Python and R reading benchmarks (read_dataframe_bench.py, read_r_bench.R).
 * Four ways:
 *   one    every case into the same one-case buffer (the decoding alone)
 *   all    all cases into one buffer from malloc, as a plain C caller would
 *   block  all cases into one buffer from malloc by one vexaWholeCasesIn
 *   huge   all cases into one buffer advised to use huge pages, as NumPy
 *          allocates its arrays
 * Prints "MODE SECONDS CASES CASE_SIZE" for the best of REPEAT runs.
 *   whole_case_in_timer FILE [REPEAT] */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>

#include "vexaio.h"

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

/* One run: open, read every case, close. Returns seconds, or -1. */
static double run(const char *path, const char *mode, int *cases, int *size) {
  int h, count, block = strcmp(mode, "block") == 0;
  double start = now();
  char *buffer;
  size_t bytes;
  if (vexaOpenRead(path, &h) != VEXA_OK) return -1;
  vexaGetCaseSize(h, size);
  vexaGetNumberofCases(h, &count);
  bytes = strcmp(mode, "one") == 0 ? (size_t)*size : (size_t)*size * (size_t)count;
  if (strcmp(mode, "huge") == 0) {
    if (posix_memalign((void **)&buffer, 2 << 20, bytes) != 0) return -1;
    madvise(buffer, bytes, MADV_HUGEPAGE);
  } else {
    buffer = malloc(bytes);
  }
  *cases = 0;
  if (block) {
    vexaWholeCasesIn(h, buffer, count, cases);
  } else if (strcmp(mode, "one") == 0) {
    while (vexaWholeCaseIn(h, buffer) == VEXA_OK) ++*cases;
  } else {
    while (*cases < count && vexaWholeCaseIn(h, buffer + (size_t)*size * *cases) == VEXA_OK) ++*cases;
  }
  vexaCloseRead(h);
  free(buffer);
  return now() - start;
}

int main(int argc, char **argv) {
  const char *modes[] = {"one", "all", "huge", "block"};
  int repeat = argc > 2 ? atoi(argv[2]) : 5, m, i, cases = 0, size = 0;
  if (argc < 2) {
    fprintf(stderr, "usage: whole_case_in_timer FILE [REPEAT]\n");
    return 2;
  }
  vexaSetInterfaceEncoding(1);
  for (m = 0; m < 4; ++m) {
    double best = -1;
    for (i = 0; i < repeat; ++i) {
      double s = run(argv[1], modes[m], &cases, &size);
      if (s < 0) {
        fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
      }
      if (best < 0 || s < best) best = s;
    }
    printf("%s %.6f %d %d\n", modes[m], best, cases, size);
  }
  return 0;
}
