// Finds the message boxes that other processes show, reads their caption and
// text, and closes them, so that tests can run programs that would otherwise
// wait for a user.
#pragma once

#include "common/win/unique_handle.h"

#include <windows.h>

#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vantor::testing {

struct SeenMessageBox {
    DWORD processId = 0;
    std::string windowClass;  // "#32770", or "InstallerWindowClass"
    std::string caption;      // UTF-8
    std::string text;         // UTF-8: the static texts, one per line
    std::string buttons;      // UTF-8: the installer window's button captions
};

// Watches from construction to destruction: every visible dialog window
// (class "#32770") of a process other than the test itself (or of any
// process, the test's own included, when asked) is read and then closed with
// its OK command. The updater's installer window (class
// "InstallerWindowClass") is read the same way and closed by clicking its
// button.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(bool includeOwnProcess = false);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // The message boxes seen so far, in the order they were found.
    std::vector<SeenMessageBox> seen() const;

private:
    void watch();
    void inspect(HWND window);

    DWORD m_ignoredProcess;
    mutable std::mutex m_lock;
    std::vector<SeenMessageBox> m_seen;
    std::set<HWND> m_handled;
    win::Handle m_stop;
    std::thread m_thread;
};

}  // namespace vantor::testing
