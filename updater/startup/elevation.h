// The elevated copy of the updater: its start, the administrator check, and
// the way without an elevation prompt before Windows 6.0.
#pragma once

#include "common/win/unique_handle.h"
#include "updater/startup/diagnostics_log.h"

#include <string>

namespace vantor {

// Starts an elevated copy of the running program with `arguments` followed by
// /logPath and the log's file path in double quotes. True when it started.
// A refused elevation is only logged; other failures are also shown in a
// message box. Before Windows 6.0 the copy runs from a fresh temporary
// folder, and without administrator rights a warning is shown first.
// When `serverProcess` is given, it receives the started process's handle
// (Windows 6.0 and later hand it out; it may stay empty otherwise).
bool startElevatedServer(DiagnosticsLog& log, const std::wstring& arguments, win::Handle* serverProcess = nullptr);

// True when the process token holds the built-in Administrators group, or
// when the system is not of the NT family.
bool isUserAdministrator();

// Copies the bytes of `source` into `destination` (created or truncated).
// True when both could be opened and every byte was written.
bool copyFileBytes(const std::wstring& source, const std::wstring& destination);

}  // namespace vantor
