// Loading system DLLs by full path.
//
// The updater runs elevated from a folder that the user may be able to write
// to, so a DLL placed beside it must never be loaded. Everything it imports
// through its import table is on the KnownDLLs list; the other system DLLs it
// needs (version.dll, wininet.dll, gdiplus.dll) are loaded here, by their full
// path in the system folder, and never freed.
#pragma once

#include <windows.h>

#include <string>

namespace vantor::win {

// Loads `name` (for example L"version.dll") from the system folder. Returns
// null when the folder cannot be determined or the library cannot be loaded;
// the last error then tells why.
inline HMODULE loadSystemLibrary(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    std::wstring path(folder, length);
    path += L'\\';
    path += name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// GetProcAddress with the function's own type. Null when absent.
template <typename Function>
Function* procAddress(HMODULE module, const char* name)
{
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace vantor::win
