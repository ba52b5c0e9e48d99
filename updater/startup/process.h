// Starting programs: run and wait, run and capture the output, and the start
// of a program through the shell without waiting.
#pragma once

#include "updater/startup/diagnostics_log.h"

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

}  // namespace vantor
