/* The public header compiles as C, and a C program links against the shared
 * library and drives a write handle. */
#include <stdio.h>
#include <string.h>

#include "vexaio.h"

static int failures = 0;

#define EXPECT(cond) \
  ((void)((cond) || (fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond), ++failures)))

int main(void) {
  int handle = 5, count = 0;
  int *types = NULL;
  char **names = NULL;
  double varHandle = 0.0;

  EXPECT(vexaOpenRead("/nonexistent/dir/file.vexa", &handle) == VEXA_E_FILE_OPEN);
  EXPECT(handle == -1);
  /* No file is made before the header is committed. */
  EXPECT(vexaOpenWrite("/tmp/vexaio-c-api.vexa", &handle) == VEXA_OK);
  EXPECT(vexaSetVarName(handle, "income", 0) == VEXA_OK);
  EXPECT(vexaSetVarName(handle, "city", 24) == VEXA_OK);
  EXPECT(vexaGetVarHandle(handle, "city", &varHandle) == VEXA_OK && varHandle == 2.0);
  EXPECT(vexaGetVarNames(handle, &count, &names, &types) == VEXA_OK);
  EXPECT(count == 2 && strcmp(names[1], "city") == 0 && types[1] == 24);
  EXPECT(vexaFreeVarNames(names, types, count) == VEXA_OK);
  EXPECT(vexaCloseWrite(handle) == VEXA_OK);
  EXPECT(vexaCloseWrite(handle) == VEXA_E_BAD_HANDLE);

  if (failures == 0) printf("c api: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
