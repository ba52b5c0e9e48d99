// A GUI program that shows the administrator-rights dialog as the update flow
// does: from its main thread, over its own resources. It logs when the dialog
// has returned and ends with 0. The command line names its log file.
#include "updater/startup/diagnostics_log.h"
#include "updater/ui/admin_dialog.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, PWSTR commandLine, int)
{
    vantor::DiagnosticsLog log(commandLine != nullptr && *commandLine != L'\0' ? commandLine
                                                                              : L"admin_dialog_fixture.log");
    vantor::currentLog = &log;
    vantor::showAdminRightsDialog(instance, previousInstance, log);
    log.write(L"INFO", L"Dialog closed");
    return 0;
}
