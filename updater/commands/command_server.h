// The elevated copy's end of the command pipe: reads commands, executes them
// one at a time and answers with their result texts.
#pragma once

#include "common/win/unique_handle.h"
#include "updater/commands/commands.h"
#include "updater/startup/diagnostics_log.h"

#include <windows.h>

namespace vantor {

// The process that started this one, opened for waiting on its end and for
// reading its id. Empty, with an "ERROR" line, when it cannot be found or
// opened, or when the process now holding its id started after this one
// (the id was reused). Opened at once at the server's start: while the handle
// is held the id cannot pass to another process.
win::Handle openParentProcess(DiagnosticsLog& log);

class CommandServer {
public:
    // `client` is the process that started this one (see openParentProcess);
    // the server serves it alone and only while it lives. The handle stays
    // the caller's.
    CommandServer(DiagnosticsLog& log, const CommandFactory& factory, HANDLE client);

    // Opens the pipe once and serves until it breaks. Returns at once when the
    // pipe cannot be opened ("Can't open pipe file"), when there is no client
    // process, or when the pipe's other end does not belong to that process:
    // commands are never taken from a pipe that some other process created.
    // Every read and write also waits for the client's end; once the client
    // has ended, nothing more is read or executed, whoever else may still
    // hold a handle to its end of the pipe.
    void run();

private:
    enum class Transfer { Done, Failed, ClientEnded };

    bool pipeBelongsToClient();
    bool clientHasEnded() const;
    Transfer transfer(bool write, void* data, DWORD size, DWORD& done);

    win::Handle m_pipe;
    win::Handle m_event;
    DiagnosticsLog& m_log;
    const CommandFactory& m_factory;
    HANDLE m_client;
};

}  // namespace vantor
