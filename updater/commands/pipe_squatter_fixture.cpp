// Test fixture: takes the command pipe's name before the updater's client
// does, as an unrelated process could, waits up to 30 s for someone to open
// it, sends one request and writes the reply (UTF-8) to <reply file>.
//   pipe_squatter <reply file> <identifier> <argument>
// Exit codes: 0 a reply was read, 2 no one opened the pipe, 3 the pipe could
// not be created, 4 the exchange failed.
#include "common/win/unique_handle.h"
#include "tests/support/utf8.h"

#include <windows.h>

#include <string>

namespace {

void writeReply(const wchar_t* path, const std::wstring& reply)
{
    const vantor::win::Handle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) {
        return;
    }
    const std::string bytes = vantor::testing::narrow(reply);
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        return 1;
    }
    const vantor::win::Handle pipe(CreateNamedPipeW(L"\\\\.\\pipe\\_cmd_pipe",
                                                    PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, 0, 1, 0, 0, 0, nullptr));
    if (!pipe) {
        return 3;
    }
    const vantor::win::Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    if (!ConnectNamedPipe(pipe.get(), &overlapped)) {
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            if (WaitForSingleObject(overlapped.hEvent, 30000) != WAIT_OBJECT_0) {
                CancelIo(pipe.get());
                return 2;
            }
        } else if (error != ERROR_PIPE_CONNECTED) {
            return 2;
        }
    }
    std::wstring request = argv[2];
    request += L'\0';
    request += argv[3];
    DWORD done = 0;
    ResetEvent(overlapped.hEvent);
    if (!WriteFile(pipe.get(), request.data(), static_cast<DWORD>(request.size() * sizeof(wchar_t)), &done,
                   &overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        return 4;
    }
    GetOverlappedResult(pipe.get(), &overlapped, &done, TRUE);
    wchar_t reply[128] = {};
    ResetEvent(overlapped.hEvent);
    if (!ReadFile(pipe.get(), reply, 254, &done, &overlapped)) {
        if (GetLastError() != ERROR_IO_PENDING) {
            writeReply(argv[1], L"(no reply)");
            return 4;
        }
        if (!GetOverlappedResult(pipe.get(), &overlapped, &done, TRUE)) {
            writeReply(argv[1], L"(no reply)");
            return 4;
        }
    }
    writeReply(argv[1], std::wstring(reply, done / sizeof(wchar_t)));
    return 0;
}
