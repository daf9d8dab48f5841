// The Windows process entry: a GUI-subsystem program, so no console window
// opens. Its arguments are not used; the program reads its command line and
// module path afresh through the platform table.
#include <windows.h>

#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return tidemark::RunProgram(); }
