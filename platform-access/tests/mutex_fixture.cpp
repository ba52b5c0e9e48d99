// A second process for the named-mutex tests.
//
//   mutex_fixture <mutex name> <ready event name> <release event name>
//
// Creates (or opens) the named mutex without taking it, signals the ready
// event, holds the mutex until the release event is signalled (at most a
// minute), and ends with 183 (ERROR_ALREADY_EXISTS) when the mutex existed
// before, 0 when it created it, and 1 when something failed.
#include <windows.h>
#include <shellapi.h>

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 4) {
        return 1;
    }
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, argv[1]);
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
        return 1;
    }
    const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    const HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (ready == nullptr || release == nullptr) {
        return 1;
    }
    SetEvent(ready);
    const DWORD waited = WaitForSingleObject(release, 60000);
    CloseHandle(release);
    CloseHandle(ready);
    CloseHandle(mutex);
    if (waited != WAIT_OBJECT_0) {
        return 1;
    }
    return error == ERROR_ALREADY_EXISTS ? ERROR_ALREADY_EXISTS : 0;
}
