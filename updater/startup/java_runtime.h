// The Java runtime that the update run starts the Java programs with.
#pragma once

#include "diagnostics_log.h"

#include <string>

namespace vantor {

// The home folder of the chosen Java runtime, or empty when there is none.
// For now this is the runtime that the installation carries: <program
// folder>\jre when its bin\javaw.exe exists.
std::wstring chooseJavaHome(const std::wstring& programFolder, const std::wstring& utilsPath, DiagnosticsLog& log);

}  // namespace vantor
