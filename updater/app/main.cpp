// Entry of VantorUpdater.
#include "common/win/system_library.h"
#include "updater/app/update_flow.h"

#include <windows.h>

namespace {

// A DLL placed beside the program must never be loaded into it: restrict the
// search to the system folder before anything else can load a library.
// Systems without SetDefaultDllDirectories at least drop the current folder
// from the search.
void restrictDllSearch()
{
    using SetDefaultDllDirectoriesFn = BOOL WINAPI(DWORD);
    auto* setDefault = vantor::win::procAddress<SetDefaultDllDirectoriesFn>(GetModuleHandleW(L"kernel32.dll"),
                                                                           "SetDefaultDllDirectories");
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L"");
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, PWSTR commandLine, int)
{
    restrictDllSearch();
    return vantor::runUpdater(instance, previousInstance, commandLine);
}
