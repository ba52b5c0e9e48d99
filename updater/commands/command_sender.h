// The client's end of the command pipe: sends one command at a time and
// waits for its reply.
#pragma once

#include "common/win/unique_handle.h"
#include "updater/commands/commands.h"
#include "updater/commands/pipe_io.h"
#include "updater/startup/diagnostics_log.h"

#include <windows.h>

#include <cstddef>

namespace vantor {

class CommandSender {
public:
    virtual ~CommandSender() = default;

    // Sends `command` and waits for its reply, which is copied into `reply`
    // (`capacity` characters; the reply is cut to fit) when one is given.
    // True when the request was written; a reply that cannot be read is then
    // empty. False for no command, a wire text that does not fit the sender's
    // buffer, or a failed write.
    virtual bool send(Command* command, wchar_t* reply, std::size_t capacity) = 0;

    // Closes the pipe; the server then stops.
    virtual void close() = 0;
};

class CommandSenderPipe : public CommandSender {
public:
    // Takes the pipe (which may be empty: every send then fails). The pipe is
    // used with overlapped I/O when it was created for it.
    CommandSenderPipe(win::Handle pipe, DiagnosticsLog& log);
    ~CommandSenderPipe() override = default;

    bool send(Command* command, wchar_t* reply, std::size_t capacity) override;
    void close() override;

private:
    win::Handle m_pipe;
    DiagnosticsLog& m_log;
};

// Where the client's pipe stands.
enum class PipeConnection {
    Created,     // made, and not yet opened by the server
    Connected,   // the started server has opened it
    NotCreated,  // the pipe could not be created
    NameTaken,   // another process holds the pipe's name
    WaitFailed,  // the server did not open it in time, or it ended first
};

struct ClientPipe {
    win::Handle pipe;  // empty unless Created or Connected
    PipeConnection connection = PipeConnection::NotCreated;
};

// Creates the pipe as the only instance of its name, for local clients and
// with access for the current user and the Administrators group only. Made
// before the server is started, so that a name another process holds costs
// no elevation. Each failure is logged at "ERROR".
ClientPipe createCommandPipe(DiagnosticsLog& log);

// Waits at most `timeoutMs` for the started server to open the created
// `pipe`; the wait also ends when `serverProcess` (when given) ends. The
// other end must be the process `serverProcessId`: any other process that
// opens the pipe first is disconnected, with nothing written to it, and the
// wait goes on within the same limit. Where the system cannot tell who the
// other end is, that check is skipped. Connected, or WaitFailed with the pipe
// closed; each failure is logged at "ERROR".
void waitForServer(ClientPipe& pipe, DiagnosticsLog& log, HANDLE serverProcess, DWORD serverProcessId,
                   DWORD timeoutMs = 60000);

}  // namespace vantor
