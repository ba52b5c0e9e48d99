// Test fixture: a client that leaves its end of the command pipe behind, as a
// program of the same user could arrange by copying the client's handle. It
// creates the pipe, starts the updater beside it in server mode, waits until
// the server has opened the pipe, gives the process <receiver id> its own
// copies of the pipe handle and of the server's process handle, writes their
// values ("<pipe> <server>", decimal) to <handle file>, and ends.
//   orphaned_client <receiver id> <handle file>
// Exit codes: 0 handed over, 2 no pipe, 3 no server, 4 no connection,
// 5 the hand-over failed.
#include "common/win/unique_handle.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>

namespace {

std::wstring besideThisProgram(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + fileName;
}

bool handTo(HANDLE receiver, HANDLE handle, HANDLE& copy)
{
    return DuplicateHandle(GetCurrentProcess(), handle, receiver, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS) != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    using vantor::win::Handle;
    if (argc < 3) {
        return 1;
    }
    Handle pipe(CreateNamedPipeW(L"\\\\.\\pipe\\_cmd_pipe", PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, 0, 1, 0, 0, 0,
                                 nullptr));
    if (!pipe) {
        return 2;
    }
    std::wstring commandLine = L"\"" + besideThisProgram(L"VantorUpdater.exe") + L"\" /secondInstance /asService";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        return 3;
    }
    Handle server(started.hProcess);
    Handle thread(started.hThread);

    Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    if (!ConnectNamedPipe(pipe.get(), &overlapped)) {
        const DWORD error = GetLastError();
        DWORD ignored = 0;
        if (error == ERROR_IO_PENDING) {
            if (WaitForSingleObject(event.get(), 30000) != WAIT_OBJECT_0 ||
                !GetOverlappedResult(pipe.get(), &overlapped, &ignored, FALSE)) {
                CancelIo(pipe.get());
                GetOverlappedResult(pipe.get(), &overlapped, &ignored, TRUE);
                return 4;
            }
        } else if (error != ERROR_PIPE_CONNECTED) {
            return 4;
        }
    }

    Handle receiver(OpenProcess(PROCESS_DUP_HANDLE, FALSE, static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10))));
    HANDLE pipeCopy = nullptr;
    HANDLE serverCopy = nullptr;
    if (!receiver || !handTo(receiver.get(), pipe.get(), pipeCopy) || !handTo(receiver.get(), server.get(), serverCopy)) {
        return 5;
    }
    const std::string values = std::to_string(reinterpret_cast<std::uintptr_t>(pipeCopy)) + " " +
                               std::to_string(reinterpret_cast<std::uintptr_t>(serverCopy));
    Handle file(CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), values.data(), static_cast<DWORD>(values.size()), &written, nullptr)) {
        return 5;
    }
    return 0;
}
