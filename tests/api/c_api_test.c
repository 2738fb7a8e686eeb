/* The public header compiles as C, and a C program links against the shared
 * library and drives a write handle through the variable calls. */
#include <stdio.h>
#include <string.h>

#include "vexaio.h"

static int failures = 0;

#define EXPECT(cond)                                          \
  do {                                                        \
    if (!(cond)) {                                            \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                             \
    }                                                         \
  } while (0)

int main(void) {
  int handle = 5;
  char name[VEXA_NAME_BUFFER];
  char path[256];
  char **names = NULL;
  int *types = NULL;
  int count = 0, type = 0, dec = 0, width = 0;
  double varHandle = 0.0;

  EXPECT(vexaOpenRead("/nonexistent/dir/file.vexa", &handle) == VEXA_E_FILE_OPEN);
  EXPECT(handle == -1);

  snprintf(path, sizeof path, "/tmp/vexaio-c-api-%ld.vexa", (long)sizeof(int));
  EXPECT(vexaOpenWrite(path, &handle) == VEXA_OK);
  EXPECT(vexaSetVarName(handle, "income", 0) == VEXA_OK);
  EXPECT(vexaSetVarName(handle, "city", 24) == VEXA_OK);
  EXPECT(vexaSetVarLabel(handle, "income", "Yearly income") == VEXA_OK);
  EXPECT(vexaSetVarPrintFormat(handle, "income", 4, 2, 12) == VEXA_OK);
  EXPECT(vexaGetVarPrintFormat(handle, "INCOME", &type, &dec, &width) == VEXA_OK);
  EXPECT(type == 4 && dec == 2 && width == 12);
  EXPECT(vexaGetVarHandle(handle, "city", &varHandle) == VEXA_OK);
  EXPECT(varHandle == 2.0);
  EXPECT(vexaGetVarNames(handle, &count, &names, &types) == VEXA_OK);
  EXPECT(count == 2 && strcmp(names[1], "city") == 0 && types[1] == 24);
  EXPECT(vexaFreeVarNames(names, types, count) == VEXA_OK);
  EXPECT(vexaGetVarInfo(handle, 0, name, &type) == VEXA_OK);
  EXPECT(strcmp(name, "income") == 0 && type == 0);
  EXPECT(vexaValidateVarname("with") == VEXA_NAME_RESERVED);
  EXPECT(vexaCloseWrite(handle) == VEXA_OK);
  EXPECT(vexaCloseWrite(handle) == VEXA_E_BAD_HANDLE);

  if (failures == 0) printf("c api: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
