// Stand-in for the administrator-rights dialog until the window code exists:
// it only records that the dialog was due.
#include "admin_dialog.h"

namespace vantor {

void showAdminRightsDialog(HINSTANCE, HINSTANCE, DiagnosticsLog& log)
{
    log.write(L"INFO", L"Administrator-rights dialog skipped");
}

}  // namespace vantor
