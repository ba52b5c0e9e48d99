// Entry of VantorUpdater. For now it only shows that the launcher's base
// works: it logs its start and command line, finds the installation and
// compares its own version with the installed updater's.
#include "diagnostics_log.h"
#include "path_text.h"
#include "process.h"
#include "win/system_library.h"

#include <windows.h>

namespace {

// A DLL placed beside the program must never be loaded into it: restrict the
// search to the system folder before anything else can load a library.
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

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    restrictDllSearch();

    vantor::DiagnosticsLog log(L"VantorUpdater.log");
    log.write(L"INFO", L"---START---");
    log.write(L"INFO", std::wstring(L"ARGS: ") + (commandLine ? commandLine : L""));

    const std::wstring execPath = vantor::readInstallExecPath(L"Software\\Vantor");
    if (execPath.empty()) {
        MessageBoxW(nullptr, L"Install path not found", nullptr, MB_ICONERROR | MB_OK);
        return -1;
    }
    const std::wstring programFolder = vantor::directoryOf(execPath, 1024);
    const std::wstring installed = programFolder + L"\\VantorUpdater.exe";
    const bool newer = vantor::isNewerThanInstalled(installed);
    log.write(L"INFO", L"Installed updater: " + installed + (newer ? L" (older, needs copy)" : L" (up to date)"));
    log.write(L"INFO", L"Quit");
    return 0;
}
