// Test helpers that drive the installer window from outside: show a dialog on
// a thread of its own, find its windows, read them, press its buttons, and
// photograph the display.
#pragma once

#include "common/win/unique_handle.h"

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vantor::testing {

// Runs `show` (which shows a dialog and returns when it has closed) on a
// thread of its own, and finds the dialog's frame window by its class.
class DialogThread {
public:
    explicit DialogThread(std::function<int()> show);
    ~DialogThread();
    DialogThread(const DialogThread&) = delete;
    DialogThread& operator=(const DialogThread&) = delete;

    // The visible top-level window of class "InstallerWindowClass" that the
    // thread created; null when none appeared within 20 seconds.
    HWND waitForWindow();

    // Waits for the thread to end and returns what `show` returned; -1000
    // when it did not end within 20 seconds (the test then fails, and the
    // thread is left to the end of the process).
    int join();

    bool ended() const;

private:
    std::function<int()> m_show;
    win::Handle m_ended;
    DWORD m_threadId = 0;
    int m_result = -1000;
    std::thread m_thread;
};

// The visible top-level window of class "InstallerWindowClass" of process
// `processId`; null when none appeared within 20 seconds.
HWND waitForProcessWindow(DWORD processId);

struct ChildInfo {
    HWND handle = nullptr;
    std::wstring className;
    std::wstring text;
    RECT rect{};  // in the parent's client coordinates
    DWORD style = 0;
};

// The direct children of `parent`, in z order.
std::vector<ChildInfo> childrenOf(HWND parent);
std::wstring windowText(HWND window);
std::wstring classNameOf(HWND window);

// Lets the window's thread handle what is pending and paint.
void settle(HWND window);

// A picture of the whole display, taken with ImageMagick's import into
// <build folder>\screenshots\<name>.png. Returns an empty text on success,
// otherwise why it failed.
std::string takeScreenshot(const std::wstring& name);

}  // namespace vantor::testing
