// Test fixture: loads "version.dll" by its bare name, as a program without
// any guard against planted DLLs would. Exits 0 when it was loaded.
#include <windows.h>

int main()
{
    return LoadLibraryW(L"version.dll") != nullptr ? 0 : 1;
}
