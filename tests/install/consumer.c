/* A program built against an installed vexaio: writes three cases, reads
 * them back and prints the version of the library it was run with. */
#include <stdio.h>
#include <vexaio.h>

static int fail(const char *what, int code) {
  fprintf(stderr, "%s: %s\n", what, vexaResultText(code));
  return 1;
}

int main(int argc, char **argv) {
  int h, code, i, major = -1, minor = -1, patch = -1;
  double x, value, sum = 0.0;
  if (argc != 2) return 2;
  if ((code = vexaOpenWrite(argv[1], &h)) != VEXA_OK) return fail("open to write", code);
  vexaSetVarName(h, "x", 0);
  if ((code = vexaCommitHeader(h)) != VEXA_OK) return fail("header commit", code);
  vexaGetVarHandle(h, "x", &x);
  for (i = 1; i <= 3; ++i) {
    vexaSetValueNumeric(h, x, i * 1.5);
    vexaCommitCaseRecord(h);
  }
  if ((code = vexaCloseWrite(h)) != VEXA_OK) return fail("close", code);
  if ((code = vexaOpenRead(argv[1], &h)) != VEXA_OK) return fail("open to read", code);
  vexaGetVarHandle(h, "x", &x);
  while ((code = vexaReadCaseRecord(h)) == VEXA_OK) {
    vexaGetValueNumeric(h, x, &value);
    sum += value;
  }
  vexaCloseRead(h);
  if (code != VEXA_W_END_OF_DATA || sum != 9.0) return fail("reading back", code);
  vexaGetLibraryVersion(&major, &minor, &patch);
  if (major != VEXA_VERSION_MAJOR) return fail("library major version", VEXA_OK);
  printf("vexaio %d.%d.%d\n", major, minor, patch);
  return 0;
}
