// Test fixture: a DLL that, when it is loaded into a process, leaves the
// marker file "<own path>.loaded". Planted beside the updater under the name
// of a system DLL, it shows whether the updater would load it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[2048];
        const DWORD length = GetModuleFileNameW(instance, path, 2048 - 8);
        if (length > 0 && length < 2048 - 8) {
            lstrcatW(path, L".loaded");
            HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (marker != INVALID_HANDLE_VALUE) {
                CloseHandle(marker);
            }
        }
    }
    return TRUE;
}
