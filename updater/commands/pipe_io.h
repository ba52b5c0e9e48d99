// The command pipe as both of its ends know it: its name, and one read or
// write on it.
#pragma once

#include <windows.h>

namespace vantor {

// The pipe's fixed name. The client creates it; the elevated copy opens it.
constexpr const wchar_t* kCommandPipeName = L"\\\\.\\pipe\\_cmd_pipe";

// How a transfer on the pipe ended.
enum class PipeTransfer {
    Done,
    Failed,       // the calling thread's last error says why
    Interrupted,  // `interrupt` was signalled first; nothing was transferred
};

// Reads or writes `size` bytes of `data` on `pipe` and waits for the end of
// the operation, using `event` (manual reset) to wait on. When `interrupt` is
// given, the wait also ends when it is signalled; it is looked at first, so
// that a transfer completing at the same moment is not taken. The operation
// is cancelled then, and over before the call returns. The pipe may have
// been opened for overlapped I/O or not; with a plain handle the call
// completes before it returns. `done` is the byte count transferred (0
// unless Done).
PipeTransfer transferOnPipe(HANDLE pipe, HANDLE event, HANDLE interrupt, bool write, void* data, DWORD size,
                            DWORD& done);

}  // namespace vantor
