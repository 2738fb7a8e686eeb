/* The public header compiles as pedantic C, and a C program links against
 * the shared library and drives a handle through its calls. */
#include <stdio.h>
#include <string.h>

#include "vexaio.h"

int main(void) {
  int handle = 5, count = 0, *types = NULL;
  char **names = NULL;
  double var = 0.0;
  /* No file is made before the header is committed. */
  const int ok =
      vexaOpenRead("/nonexistent/dir/file.vexa", &handle) == VEXA_E_FILE_OPEN && handle == -1 &&
      vexaOpenWrite("/tmp/vexaio-c-api.vexa", &handle) == VEXA_OK &&
      vexaSetVarName(handle, "income", 0) == VEXA_OK &&
      vexaSetVarName(handle, "city", 24) == VEXA_OK &&
      vexaGetVarHandle(handle, "city", &var) == VEXA_OK && var == 2.0 &&
      vexaGetVarNames(handle, &count, &names, &types) == VEXA_OK && count == 2 &&
      strcmp(names[1], "city") == 0 && types[1] == 24 &&
      vexaFreeVarNames(names, types, count) == VEXA_OK && vexaCloseWrite(handle) == VEXA_OK &&
      vexaCloseWrite(handle) == VEXA_E_BAD_HANDLE;
  puts(ok ? "c api: all checks passed" : "c api: a check failed");
  return ok ? 0 : 1;
}
