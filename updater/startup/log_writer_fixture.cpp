// Test fixture: log_writer <file name> <count> <tag> writes <count> lines
// through a DiagnosticsLog on <file name> in the temporary folder.
#include "updater/startup/diagnostics_log.h"

#include <windows.h>

#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        return 2;
    }
    vantor::DiagnosticsLog log(argv[1]);
    log.setTag(argv[3]);
    const int count = _wtoi(argv[2]);
    for (int i = 0; i < count; ++i) {
        // Short lines, so that both writers together stay below the size limit.
        log.write(L"INFO", std::to_wstring(i).c_str());
    }
    return 0;
}
