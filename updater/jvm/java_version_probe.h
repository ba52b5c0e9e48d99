// Asking a Java runtime for its version.
#pragma once

#include "updater/jvm/java_version.h"
#include "updater/startup/diagnostics_log.h"

#include <string>

namespace vantor {

// Runs "<javaHome>\bin\java.exe" -version hidden, takes the first 255 bytes
// of what it wrote to standard output and error (nothing unless it ended
// with 0), converts them from the ANSI code page, writes the text to `log`
// at "INFO", and parses the version text found after `version "`:
// java version "1.8.0_151" gives 1.8.0 (major 1, minor 800). Raises
// VersionParseError when no group of three numbers is found, among others
// for a runtime that failed or did not answer; it catches nothing.
JavaVersion getJavaVersion(const std::wstring& javaHome, DiagnosticsLog& log);

}  // namespace vantor
