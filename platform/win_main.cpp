// The Windows entry point; the program itself starts in ProgramMain.
#include <windows.h>

#include "startup/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return flashsaver::ProgramMain(); }
