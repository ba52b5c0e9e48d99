// Test fixture: a DLL to plant beside the updater under the name of a system
// DLL ("version.dll"). When it is loaded it leaves "<own path>.loaded"; when
// one of its version functions is called, "<own path>.called". Its functions
// find no version information.
#include "common/win/unique_handle.h"

#include <windows.h>

namespace {

HINSTANCE g_instance = nullptr;

void leaveMarker(const wchar_t* suffix)
{
    wchar_t path[2048];
    const DWORD length = GetModuleFileNameW(g_instance, path, 2048 - 16);
    if (length == 0 || length >= 2048 - 16) {
        return;
    }
    lstrcatW(path, suffix);
    const vantor::win::Handle marker(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        leaveMarker(L".loaded");
    }
    return TRUE;
}

extern "C" __declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD)
{
    leaveMarker(L".called");
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
}

extern "C" __declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID)
{
    leaveMarker(L".called");
    return FALSE;
}

extern "C" __declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID, LPCWSTR, LPVOID*, PUINT)
{
    leaveMarker(L".called");
    return FALSE;
}
