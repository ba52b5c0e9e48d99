// The elevated copy's end of the command pipe: reads commands, executes them
// one at a time and answers with their result texts.
#pragma once

#include "commands.h"
#include "diagnostics_log.h"
#include "win/unique_handle.h"

namespace vantor {

class CommandServer {
public:
    CommandServer(DiagnosticsLog& log, const CommandFactory& factory);

    // Opens the pipe once and serves until it breaks. Returns at once when the
    // pipe cannot be opened ("Can't open pipe file") or when its other end
    // does not belong to the process that started this one: commands are
    // never taken from a pipe that some other process created.
    void run();

private:
    bool pipeBelongsToParent();

    win::Handle m_pipe;
    DiagnosticsLog& m_log;
    const CommandFactory& m_factory;
};

}  // namespace vantor
