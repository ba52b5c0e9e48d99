#include "updater/ui/dialog_fixture.h"

#include "tests/support/test_support.h"

#include <chrono>
#include <utility>

namespace vantor::testing {

namespace {

constexpr DWORD kWaitMs = 20000;

struct FindFrame {
    HWND found = nullptr;
    DWORD processId = 0;  // 0: any process
};

BOOL CALLBACK findFrame(HWND window, LPARAM data)
{
    auto* find = reinterpret_cast<FindFrame*>(data);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (find->processId != 0 && processId != find->processId) {
        return TRUE;
    }
    if (classNameOf(window) == L"InstallerWindowClass" && IsWindowVisible(window)) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK collectChild(HWND window, LPARAM data)
{
    auto* children = reinterpret_cast<std::pair<HWND, std::vector<ChildInfo>*>*>(data);
    if (GetParent(window) != children->first) {
        return TRUE;  // a grandchild: EnumChildWindows walks the whole tree
    }
    ChildInfo info;
    info.handle = window;
    info.className = classNameOf(window);
    info.text = windowText(window);
    GetWindowRect(window, &info.rect);
    MapWindowPoints(nullptr, children->first, reinterpret_cast<POINT*>(&info.rect), 2);
    info.style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    children->second->push_back(info);
    return TRUE;
}

}  // namespace

DialogThread::DialogThread(std::function<int()> show)
    : m_show(std::move(show)), m_ended(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    const win::Handle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_thread = std::thread([this, started = started.get()]() {
        m_threadId = GetCurrentThreadId();
        SetEvent(started);
        m_result = m_show();
        SetEvent(m_ended.get());
    });
    WaitForSingleObject(started.get(), INFINITE);
}

DialogThread::~DialogThread()
{
    if (m_thread.joinable()) {
        if (WaitForSingleObject(m_ended.get(), kWaitMs) == WAIT_OBJECT_0) {
            m_thread.join();
        } else {
            m_thread.detach();  // a hung dialog: the failed test ends the process soon
        }
    }
}

HWND DialogThread::waitForWindow()
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kWaitMs) {
        FindFrame find;
        EnumThreadWindows(m_threadId, &findFrame, reinterpret_cast<LPARAM>(&find));
        if (find.found != nullptr) {
            return find.found;
        }
        if (ended()) {
            return nullptr;
        }
        Sleep(20);
    }
    return nullptr;
}

HWND waitForProcessWindow(DWORD processId)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kWaitMs) {
        FindFrame find;
        find.processId = processId;
        EnumWindows(&findFrame, reinterpret_cast<LPARAM>(&find));
        if (find.found != nullptr) {
            return find.found;
        }
        Sleep(20);
    }
    return nullptr;
}

int DialogThread::join()
{
    if (WaitForSingleObject(m_ended.get(), kWaitMs) != WAIT_OBJECT_0) {
        return -1000;
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_result;
}

bool DialogThread::ended() const
{
    return WaitForSingleObject(m_ended.get(), 0) == WAIT_OBJECT_0;
}

std::wstring windowText(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring classNameOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::vector<ChildInfo> childrenOf(HWND parent)
{
    std::vector<ChildInfo> children;
    std::pair<HWND, std::vector<ChildInfo>*> data(parent, &children);
    EnumChildWindows(parent, &collectChild, reinterpret_cast<LPARAM>(&data));
    return children;
}

void settle(HWND window)
{
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
    // Wine hands the painted pixels to the X server from its own flush; give
    // it a moment before the display is photographed.
    Sleep(500);
}

std::string takeScreenshot(const std::wstring& name)
{
    using DosNameFn = wchar_t* CDECL(const char*);
    auto* dosName = reinterpret_cast<DosNameFn*>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (dosName == nullptr) {
        return "not running under Wine";
    }

    const std::wstring folder = binDir() + L"\\..\\screenshots";
    createDirectories(folder);
    const std::wstring picture = folder + L"\\" + name + L".png";
    DeleteFileW(picture.c_str());

    const std::string unixFolder = unixPathOf(folder);
    wchar_t* shell = unixFolder.empty() ? nullptr : dosName("/bin/sh");
    if (shell == nullptr) {
        return "no Unix path for the screenshot folder or /bin/sh";
    }
    const std::string target = unixFolder + "/" + narrow(name);
    // import writes beside the picture and the finished file is renamed into
    // place, so the picture appears complete or not at all.
    std::wstring command = L"\"" + std::wstring(shell) + L"\" -c \"import -window root '" + widen(target) +
                           L".part.png' && mv '" + widen(target) + L".part.png' '" + widen(target) + L".png'\"";
    HeapFree(GetProcessHeap(), 0, shell);

    // There is no process handle to wait on: wait for the picture instead.
    if (!startUnixProgram(command)) {
        return "cannot start /bin/sh, error " + std::to_string(GetLastError());
    }
    if (waitForFile(picture, kWaitMs)) {
        return {};
    }
    return "no picture at " + narrow(picture) + " (is ImageMagick's import installed?)";
}

}  // namespace vantor::testing
