// The two run modes of the updater: the client, which drives the update run,
// and the elevated server, which performs the privileged commands.
#pragma once

#include "updater/app/command_line_args.h"
#include "updater/commands/command_sender.h"
#include "updater/startup/diagnostics_log.h"
#include "updater/startup/elevation.h"

#include <windows.h>

#include <string>

namespace vantor {

// The whole program after the DLL search has been restricted: opens the log,
// parses `commandLine` and runs the mode it asks for. Returns the exit code.
// No exception leaves it.
int runUpdater(HINSTANCE instance, HINSTANCE previousInstance, const wchar_t* commandLine);

// Server mode ("/asService"): serves commands until the client closes the
// pipe. Always 0.
int runServerMode(const CommandLineArgs& args, DiagnosticsLog& log);

// What the client asks of the system at its two edges that a test cannot
// arrange for real under every system: where the program itself stands, and
// the start of its elevated copy (a user may refuse it).
struct ClientPlatform {
    // The running program's path in short form; empty: ask the system.
    std::wstring ownPath;
    // Starts the elevated copy; see startElevatedServer.
    bool (*startServer)(DiagnosticsLog& log, const std::wstring& arguments, win::Handle* serverProcess) =
        &startElevatedServer;
};

// Client mode: the update run. 0 after every run past the runtime check,
// 1 without a Java runtime, -1 without a registered main program. The
// runtime choice ends the process itself with exit status 1, showing
// nothing, when the runtime cannot state its version (see JVMProperties).
int runClientMode(const CommandLineArgs& args, HINSTANCE instance, HINSTANCE previousInstance, DiagnosticsLog& log,
                  const ClientPlatform& platform = {});

// Runs the plug-in's ext updater: as the user (waiting for it here) or, with
// a sender, as administrator through the elevated server. True when it ran
// as the user and asked for administrator rights (exit status 1).
bool launchExtUpdater(const std::wstring& javaHome, const std::wstring& appData, CommandSender* sender,
                      bool asAdministrator, DiagnosticsLog& log);

}  // namespace vantor
