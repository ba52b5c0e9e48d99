// The dialog that tells the user that the update needs administrator rights.
#pragma once

#include "updater/startup/diagnostics_log.h"

#include <windows.h>

namespace vantor {

// Shows the administrator-rights dialog in the user's language and returns
// when the user has closed it.
void showAdminRightsDialog(HINSTANCE instance, HINSTANCE previousInstance, DiagnosticsLog& log);

}  // namespace vantor
