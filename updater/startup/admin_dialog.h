#pragma once

#include <windows.h>

namespace vantor {

class DiagnosticsLog;

// Shows the administrator-rights dialog in the user's language and returns when the user has closed it.
void showAdminRightsDialog(HINSTANCE instance, HINSTANCE previousInstance, DiagnosticsLog& log);

}  // namespace vantor
