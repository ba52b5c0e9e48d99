// Test fixture: loads "version.dll" by its bare name, as a program without
// any guard against planted DLLs would, and asks it for a version size.
// Exits 0 when the library was loaded.
#include <windows.h>

int main()
{
    HMODULE version = LoadLibraryW(L"version.dll");
    if (version == nullptr) {
        return 1;
    }
    using SizeFn = DWORD WINAPI(LPCWSTR, LPDWORD);
    auto* size = reinterpret_cast<SizeFn*>(reinterpret_cast<void*>(GetProcAddress(version, "GetFileVersionInfoSizeW")));
    DWORD ignored = 0;
    if (size != nullptr) {
        size(L"C:\\windows\\system32\\kernel32.dll", &ignored);
    }
    return 0;
}
