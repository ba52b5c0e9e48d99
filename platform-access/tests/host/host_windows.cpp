// The library's hook window and threads, as the tests find and wait for them.
#include "platform-access/tests/host/jni_host.h"

namespace vantor::jnihost {

std::vector<HWND> hookWindows()
{
    std::vector<HWND> windows;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, kHookWindowClass, nullptr)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId()) {
            windows.push_back(window);
        }
    }
    return windows;
}

HWND waitForHookWindow()
{
    for (int i = 0; i < 500; ++i) {
        const std::vector<HWND> windows = hookWindows();
        if (!windows.empty()) {
            return windows.front();
        }
        Sleep(10);
    }
    return nullptr;
}

bool threadEnds(DWORD threadId)
{
    const win::Handle thread(OpenThread(SYNCHRONIZE, FALSE, threadId));
    return !thread || WaitForSingleObject(thread.get(), 10000) == WAIT_OBJECT_0;  // gone already, or ends
}

}  // namespace vantor::jnihost
