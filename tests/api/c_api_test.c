/* The public header compiles as C and the library links from C. */
#include "vexaio.h"
int main(void) { return 0; }
