// Starting GDI+ without importing it: gdiplus.dll is not on the KnownDLLs
// list, so the program loads it by full path from the system folder.
#pragma once

#include <windows.h>

namespace vantor {

// Starts GDI+ version 1 with no debug callback and its background thread
// allowed. Returns the start-up token, or 0 when gdiplus.dll cannot be loaded
// or refuses to start. GDI+ is never shut down and the library never freed:
// both stay until the process ends.
ULONG_PTR startGdiplus();

}  // namespace vantor
