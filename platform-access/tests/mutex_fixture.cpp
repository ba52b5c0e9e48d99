// A second process for the named-mutex tests.
//
//   mutex_fixture <mutex name> <ready event name> <release event name>
//
// Creates (or opens) the named mutex without taking it, signals the ready
// event, holds the mutex until the release event is signalled (at most a
// minute), and ends with 183 (ERROR_ALREADY_EXISTS) when the mutex existed
// before, 0 when it created it, and 1 when something failed.
#include "common/win/unique_handle.h"

#include <windows.h>
#include <shellapi.h>

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 4) {
        return 1;
    }
    const vantor::win::Handle mutex(CreateMutexW(nullptr, FALSE, argv[1]));
    const DWORD error = GetLastError();
    if (!mutex) {
        return 1;
    }
    const vantor::win::Handle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
    const vantor::win::Handle release(OpenEventW(SYNCHRONIZE, FALSE, argv[3]));
    if (!ready || !release) {
        return 1;
    }
    SetEvent(ready.get());
    const DWORD waited = WaitForSingleObject(release.get(), 60000);
    if (waited != WAIT_OBJECT_0) {
        return 1;
    }
    return error == ERROR_ALREADY_EXISTS ? ERROR_ALREADY_EXISTS : 0;
}
