#include "updater/commands/pipe_io.h"

namespace vantor {

PipeTransfer transferOnPipe(HANDLE pipe, HANDLE event, HANDLE interrupt, bool write, void* data, DWORD size,
                            DWORD& done)
{
    done = 0;
    ResetEvent(event);
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    const BOOL finished =
        write ? WriteFile(pipe, data, size, nullptr, &overlapped) : ReadFile(pipe, data, size, nullptr, &overlapped);
    if (!finished) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            SetLastError(error);
            return PipeTransfer::Failed;
        }
        if (interrupt != nullptr) {
            HANDLE waits[2] = {interrupt, event};
            const DWORD wait = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            if (wait != WAIT_OBJECT_0 + 1) {
                const DWORD waitError = GetLastError();
                // The operation must be over before its OVERLAPPED goes.
                CancelIo(pipe);
                GetOverlappedResult(pipe, &overlapped, &done, TRUE);
                done = 0;
                SetLastError(waitError);
                return wait == WAIT_OBJECT_0 ? PipeTransfer::Interrupted : PipeTransfer::Failed;
            }
        }
    }
    if (!GetOverlappedResult(pipe, &overlapped, &done, TRUE)) {
        done = 0;
        return PipeTransfer::Failed;
    }
    return PipeTransfer::Done;
}

}  // namespace vantor
