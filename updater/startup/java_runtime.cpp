#include "java_runtime.h"

#include <windows.h>

namespace vantor {

std::wstring chooseJavaHome(const std::wstring& programFolder, const std::wstring& /*utilsPath*/, DiagnosticsLog& log)
{
    const std::wstring home = programFolder + L"\\jre";
    const DWORD attributes = GetFileAttributesW((home + L"\\bin\\javaw.exe").c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        log.write(L"ERROR", L"No Java runtime in " + home);
        return {};
    }
    log.write(L"INFO", L"Java runtime: " + home);
    return home;
}

}  // namespace vantor
