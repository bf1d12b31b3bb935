/* Linked against zlib's import library on purpose: ShippedImports.RejectsZlibDll checks that
   the import check turns down a program that needs zlib1.dll. */
#include <zlib.h>

int main(void) { return zlibVersion()[0] == '1' ? 0 : 1; }
