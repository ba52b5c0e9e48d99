#include "updater/jvm/launcher_stop.h"

#include "common/guarded.h"
#include "updater/startup/diagnostics_log.h"

#include <windows.h>

namespace vantor {

namespace {

LauncherStopHandler g_handler = nullptr;

}  // namespace

LauncherStopHandler setLauncherStopHandler(LauncherStopHandler handler)
{
    const LauncherStopHandler previous = g_handler;
    g_handler = handler;
    return previous;
}

void launcherStop(const wchar_t* line)
{
    // The log opens and closes its file for every line, so the line is on
    // disk before the process goes.
    // Nothing may keep the process from ending, not even a line that cannot
    // be written.
    guarded(
        [line] {
            if (currentLog != nullptr) {
                currentLog->write(L"INFO", line);
            }
        },
        [](const char*) {});
    if (g_handler != nullptr) {
        g_handler();
    }
    ExitProcess(1);
}

}  // namespace vantor
