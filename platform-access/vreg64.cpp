// vreg64: native platform access for the Java application. The frame only,
// until its operations are added.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
