#include "tests/support/message_box_watcher.h"

#include "tests/support/test_support.h"

namespace vantor::testing {

namespace {

std::wstring windowText(HWND window)
{
    wchar_t text[2048] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                             &length)) {
        return {};
    }
    return std::wstring(text, length < 2048 ? length : 0);
}

std::wstring className(HWND window)
{
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// The message of a box: the text of its static controls (the icon's static
// has none).
BOOL CALLBACK collectStaticText(HWND child, LPARAM parameter)
{
    auto* text = reinterpret_cast<std::wstring*>(parameter);
    if (_wcsicmp(className(child).c_str(), L"Static") == 0) {
        const std::wstring part = windowText(child);
        if (!part.empty()) {
            if (!text->empty()) {
                *text += L"\n";
            }
            *text += part;
        }
    }
    return TRUE;
}

// The captions of the buttons among a window's descendants.
BOOL CALLBACK collectButtons(HWND child, LPARAM parameter)
{
    auto* buttons = reinterpret_cast<std::vector<HWND>*>(parameter);
    if (_wcsicmp(className(child).c_str(), L"Button") == 0) {
        buttons->push_back(child);
    }
    return TRUE;
}

const wchar_t* const kInstallerWindowClass = L"InstallerWindowClass";

struct DialogSearch {
    DWORD ignoredProcess;
    std::vector<HWND> windows;
};

BOOL CALLBACK collectDialogs(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const std::wstring name = className(window);
    if (processId != search->ignoredProcess && IsWindowVisible(window) &&
        (name == L"#32770" || name == kInstallerWindowClass)) {
        search->windows.push_back(window);
    }
    return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(bool includeOwnProcess)
    : m_ignoredProcess(includeOwnProcess ? 0 : GetCurrentProcessId()), m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    m_thread = std::thread([this] { watch(); });
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    SetEvent(m_stop.get());
    m_thread.join();
}

std::vector<SeenMessageBox> MessageBoxWatcher::seen() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_seen;
}

void MessageBoxWatcher::watch()
{
    while (WaitForSingleObject(m_stop.get(), 50) == WAIT_TIMEOUT) {
        DialogSearch search{m_ignoredProcess, {}};
        EnumWindows(collectDialogs, reinterpret_cast<LPARAM>(&search));
        for (HWND window : search.windows) {
            inspect(window);
        }
    }
}

void MessageBoxWatcher::inspect(HWND window)
{
    const bool installerWindow = className(window) == kInstallerWindowClass;
    std::vector<HWND> buttons;
    if (installerWindow) {
        EnumChildWindows(window, collectButtons, reinterpret_cast<LPARAM>(&buttons));
    }
    // A message box closes on its OK command; the installer window when its
    // (first) button is clicked.
    const auto close = [&] {
        if (!installerWindow) {
            PostMessageW(window, WM_COMMAND, IDOK, 0);
        } else if (!buttons.empty()) {
            PostMessageW(buttons.front(), BM_CLICK, 0, 0);
        }
    };
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_handled.count(window) != 0) {
            // Still there: the close may not have arrived yet; ask again.
            close();
            return;
        }
        m_handled.insert(window);
    }
    SeenMessageBox box;
    GetWindowThreadProcessId(window, &box.processId);
    box.windowClass = narrow(className(window));
    box.caption = narrow(windowText(window));
    std::wstring text;
    EnumChildWindows(window, collectStaticText, reinterpret_cast<LPARAM>(&text));
    box.text = narrow(text);
    for (HWND button : buttons) {
        box.buttons += (box.buttons.empty() ? "" : "\n") + narrow(windowText(button));
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_seen.push_back(box);
    }
    close();
}

}  // namespace vantor::testing
