// Starting programs and the elevated copy of the updater, and the small
// platform queries of the update flow.
#pragma once

#include "common/win/unique_handle.h"
#include "updater/startup/diagnostics_log.h"
#include "updater/startup/product_version.h"

#include <windows.h>

#include <array>
#include <string>

namespace vantor {

// Exit statuses that runAndWait sets itself. A program may return them too;
// callers do not tell the cases apart.
constexpr int kStatusNotStarted = -5;
constexpr int kStatusExitCodeUnreadable = -2;
constexpr int kStatusStillActive = -4;

// Starts `commandLine` (program taken from the command line, handles
// inherited, caller's environment and folder), shown normally or hidden,
// with the given standard input and output/error handles, waits for its end
// and returns its exit code, or one of the statuses above. Logs the start,
// the command line, the end of the wait and, when not 0, the status.
int runAndWait(const std::wstring& commandLine, bool hidden, HANDLE input, HANDLE output, DiagnosticsLog& log);

// Output of runAndCapture: the first 255 bytes the program wrote to standard
// output and error, zero-terminated; all zero unless the exit status is 0.
using CapturedOutput = std::array<char, 256>;

// Runs `commandLine` hidden like runAndWait with both output streams going
// to a pipe. The pipe is drained while the program runs, so a program that
// writes a lot never blocks, and one that writes nothing ends normally.
int runAndCapture(const std::wstring& commandLine, CapturedOutput& output, DiagnosticsLog& log);

// Opens `path` through the shell with the parameter "/noupdate" and does not
// wait. Never reports a failure. Logs the launch when a log is given.
void launchDetached(const std::wstring& path, DiagnosticsLog* log);

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

// True when a file can be created in `folder`; the folder and its missing
// parents are created first when it does not exist.
bool canWriteToFolder(const std::wstring& folder);

// A new GUID as 36 upper-case characters in groups 8-4-4-4-12, no braces.
std::wstring newGuidText();

// Product version of an executable; 0.0.0.0 without version information.
ProductVersion readProductVersion(const std::wstring& path);

// True when the running program's product version is greater than that of
// the installed updater at `installed`.
bool isNewerThanInstalled(const std::wstring& installed);

// The text of HKEY_CURRENT_USER\<subkey> value "exec" (environment references
// expanded for REG_EXPAND_SZ), or empty when there is none, it is not a text,
// or it does not fit 1,023 characters.
std::wstring readInstallExecPath(const std::wstring& subkey);

// The user's roaming application-data folder (CSIDL_APPDATA); empty when it
// cannot be determined.
std::wstring appDataFolder();

// The running program's full path in short (8.3) form, as a buffer of
// `capacity` characters holds it. The module path is read with 1,000
// characters first.
std::wstring ownShortPath(std::size_t capacity);

// The file-name part of the running program's long path.
std::wstring ownLongFileName();

// GetVersionExW's major version and platform; 0 when the query fails.
struct SystemVersion {
    DWORD major = 0;
    DWORD platform = 0;
};
SystemVersion systemVersion();

}  // namespace vantor
