// The hook window, the tray icon, the execution state and the version checks
// through the JNI host.
#include "common/win/unique_handle.h"
#include "platform-access/tests/host/jni_host.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vantor::jnihost {
namespace {

// Waits until the callback has seen `message`; returns its calls of it.
std::vector<CallbackCall> waitForCallback(JniHost& host, UINT message)
{
    for (int i = 0; i < 500; ++i) {
        std::vector<CallbackCall> calls = host.callbackCalls();
        calls.erase(std::remove_if(calls.begin(), calls.end(),
                                   [message](const CallbackCall& c) { return c.message != static_cast<int>(message); }),
                    calls.end());
        if (!calls.empty()) {
            return calls;
        }
        Sleep(10);
    }
    return {};
}

// The hook thread is attached only while it handles a message.
bool waitUntilDetached(JniHost& host)
{
    for (int i = 0; i < 500; ++i) {
        if (host.attachCount() == host.detachCount()) {
            return true;
        }
        Sleep(10);
    }
    return false;
}

std::wstring windowText(HWND window)
{
    wchar_t text[64] = {};
    InternalGetWindowText(window, text, 64);
    return text;
}

TEST(HookWindow, CreationMessagesReachTheCallbackOnTheHookThread)
{
    JniHost host;
    NativeLibrary& library = host.load();
    // The creation parameters live only while the window is being made, so
    // they are read inside the callback.
    CREATESTRUCTW created{};
    host.setCallback([&created](const CallbackCall& call) {
        if (call.message == WM_CREATE && call.lParam != 0) {
            created = *reinterpret_cast<const CREATESTRUCTW*>(static_cast<INT_PTR>(call.lParam));
        }
        return Answer(-1);
    });
    library.call("initialise");
    const HWND window = waitForHookWindow();
    ASSERT_NE(nullptr, window);
    const DWORD hookThread = GetWindowThreadProcessId(window, nullptr);

    // The window can be found as soon as it exists, which is before its
    // WM_CREATE has been handled: wait for that message.
    const auto hasCreate = [](const std::vector<CallbackCall>& seen) {
        return std::any_of(seen.begin(), seen.end(),
                           [](const CallbackCall& c) { return c.message == static_cast<int>(WM_CREATE); });
    };
    std::vector<CallbackCall> calls = host.callbackCalls();
    for (int i = 0; i < 500 && !hasCreate(calls); ++i) {
        Sleep(10);
        calls = host.callbackCalls();
    }
    const auto position = [&calls](UINT message) {
        return std::find_if(calls.begin(), calls.end(),
                            [message](const CallbackCall& c) { return c.message == static_cast<int>(message); });
    };
    ASSERT_NE(calls.end(), position(WM_NCCREATE));
    ASSERT_NE(calls.end(), position(WM_CREATE));
    EXPECT_LT(position(WM_NCCREATE), position(WM_CREATE));
    for (const CallbackCall& call : calls) {
        EXPECT_EQ(hookThread, call.threadId) << call.message;
    }
    // Both carry the creation parameters, a pointer that needs all 64 bits
    // to be passed whole.
    EXPECT_EQ(position(WM_NCCREATE)->lParam, position(WM_CREATE)->lParam);
    EXPECT_EQ(kHookWindowClass, std::wstring(created.lpszClass));
    EXPECT_EQ(nullptr, created.lpszName);
    EXPECT_EQ(nullptr, created.hwndParent);
    EXPECT_EQ(static_cast<LONG>(WS_OVERLAPPEDWINDOW), created.style & ~WS_CLIPSIBLINGS);
    EXPECT_FALSE(IsWindowVisible(window));

    // One attach and one detach per message.
    EXPECT_TRUE(waitUntilDetached(host));
    EXPECT_GE(host.attachCount(), static_cast<int>(calls.size()));
}

TEST(HookWindow, PostedMessagesArriveWithTheirParameters)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    const HWND window = waitForHookWindow();
    ASSERT_NE(nullptr, window);

    const UINT message = WM_APP + 7;
    // Only the low 32 bits of the first parameter are passed, as a signed
    // int; the second parameter whole.
    ASSERT_TRUE(PostMessageW(window, message, static_cast<WPARAM>(0xABCDEF00FFFFFFFEull),
                             static_cast<LPARAM>(0x8122334455667788ull)));
    ASSERT_TRUE(PostMessageW(window, message, 0x12345678, -5));
    std::vector<CallbackCall> calls;
    for (int i = 0; i < 500 && calls.size() < 2; ++i) {
        Sleep(10);
        calls = waitForCallback(host, message);
    }
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(-2, calls[0].wParam);
    EXPECT_EQ(static_cast<std::int64_t>(0x8122334455667788ull), calls[0].lParam);
    EXPECT_EQ(0x12345678, calls[1].wParam);
    EXPECT_EQ(-5, calls[1].lParam);
    EXPECT_TRUE(waitUntilDetached(host));
}

TEST(HookWindow, TheCallbacksAnswerIsTheWindowProceduresResultAndMinusOneTheDefault)
{
    JniHost host;
    NativeLibrary& library = host.load();
    Answer answer(-1);
    host.setCallback([&answer](const CallbackCall& call) {
        return call.message == WM_SETTEXT ? answer : Answer(-1);
    });
    library.call("initialise");
    const HWND window = waitForHookWindow();
    ASSERT_NE(nullptr, window);
    const auto setText = [window](const wchar_t* text) {
        return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    };

    // Unhandled: the default processing sets the text and answers TRUE.
    EXPECT_EQ(TRUE, setText(L"first"));
    EXPECT_EQ(L"first", windowText(window));
    // Handled: the answer is the result, widened with its sign from its low
    // 32 bits, and the text stays.
    answer = Answer(-2);
    EXPECT_EQ(-2, setText(L"second"));
    answer = Answer(0x7FFFFFFF00000009ll);
    EXPECT_EQ(9, setText(L"second"));
    answer = Answer(0x80000000ll);
    EXPECT_EQ(static_cast<LRESULT>(INT32_MIN), setText(L"second"));
    EXPECT_EQ(L"first", windowText(window));
    // The low 32 bits of 0x1FFFFFFFF are -1 as well.
    answer = Answer(0x1FFFFFFFFll);
    EXPECT_EQ(TRUE, setText(L"third"));
    EXPECT_EQ(L"third", windowText(window));
    // A callback that throws leaves the message unhandled; its exception is
    // cleared (detaching with it pending would be a violation of the host).
    answer = Answer::throwing(L"callback failed");
    EXPECT_EQ(TRUE, setText(L"fourth"));
    EXPECT_EQ(L"fourth", windowText(window));
    EXPECT_TRUE(waitUntilDetached(host));
}

TEST(HookWindow, AnsweringZeroToCloseKeepsTheWindow)
{
    JniHost host;
    NativeLibrary& library = host.load();
    std::int64_t closeAnswer = 0;
    host.setCallback([&closeAnswer](const CallbackCall& call) {
        return call.message == WM_CLOSE ? Answer(closeAnswer) : Answer(-1);
    });
    library.call("initialise");
    const HWND window = waitForHookWindow();
    ASSERT_NE(nullptr, window);
    const DWORD hookThread = GetWindowThreadProcessId(window, nullptr);

    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));

    // Left to the default, closing destroys the window; the thread runs on
    // until destroy.
    closeAnswer = -1;
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(waitForCallback(host, WM_NCDESTROY).empty());
    const win::Handle thread(OpenThread(SYNCHRONIZE, FALSE, hookThread));
    ASSERT_TRUE(thread);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread.get(), 100));
    library.call("destroy");
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(thread.get(), 10000));
}

TEST(HookWindow, DestroyEndsTheThreadAndTheWindowSaysGoodbye)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    const HWND window = waitForHookWindow();
    ASSERT_NE(nullptr, window);
    const DWORD hookThread = GetWindowThreadProcessId(window, nullptr);

    library.call("destroy");
    EXPECT_TRUE(threadEnds(hookThread));
    EXPECT_FALSE(IsWindow(window));
    // The window is destroyed while the thread still runs, so Java hears of
    // it like of any other message.
    const std::vector<CallbackCall> calls = host.callbackCalls();
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](const CallbackCall& c) { return c.message == WM_DESTROY; }));
    EXPECT_EQ(host.attachCount(), host.detachCount());
}

TEST(HookWindow, RefusingCreationEndsTheThreadWithAMessage)
{
    JniHost host;
    NativeLibrary& library = host.load();
    host.setCallback([](const CallbackCall& call) { return call.message == WM_NCCREATE ? Answer(0) : Answer(-1); });
    std::string output;
    {
        OutputCapture capture;
        EXPECT_TRUE(threwNothing(library.call("initialise")));
        const std::vector<CallbackCall> calls = waitForCallback(host, WM_NCCREATE);
        ASSERT_FALSE(calls.empty());
        EXPECT_TRUE(threadEnds(calls[0].threadId));
        output = capture.standardOutput();
    }
    EXPECT_EQ("Failed to create window\n", output);
    const std::vector<CallbackCall> calls = host.callbackCalls();  // a copy: iterate one vector
    EXPECT_FALSE(std::any_of(calls.begin(), calls.end(), [](const CallbackCall& c) { return c.message == WM_CREATE; }));
    EXPECT_TRUE(waitUntilDetached(host));
}

TEST(HookWindow, WithoutTheCallbackMethodEveryMessageIsSaidAndDefaultProcessed)
{
    HostOptions options;
    options.callbackMethod = false;
    JniHost host(options);
    NativeLibrary& library = host.load();
    std::string error;
    HWND window = nullptr;
    {
        OutputCapture capture;
        library.call("initialise");
        window = waitForHookWindow();
        if (window != nullptr) {
            SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"default"));
        }
        error = capture.standardError();
    }
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(L"default", windowText(window));
    // One line per message: the creation messages and WM_SETTEXT at least.
    const std::string line = "failed to resolve callback method\n";
    std::size_t lines = 0;
    for (std::size_t at = error.find(line); at != std::string::npos; at = error.find(line, at + 1)) {
        ++lines;
    }
    EXPECT_GE(lines, 3u);
    EXPECT_EQ(std::string::npos, error.find("failed to attach"));
    EXPECT_TRUE(waitUntilDetached(host));
}

// --- tray icon ---------------------------------------------------------------------

// A stand-in for the shell's notification area in this process: the shell
// hands every tray call to the window of class "Shell_TrayWnd" as
// WM_COPYDATA; this one keeps the data and answers TRUE.
class TrayStandIn {
public:
    TrayStandIn()
    {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Shell_TrayWnd";
        RegisterClassExW(&windowClass);
        // Topmost and made last, it is the first of its class that the shell
        // finds, before any notification area of the desktop.
        m_window = CreateWindowExW(WS_EX_TOPMOST, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TrayStandIn()
    {
        DestroyWindow(m_window);
        UnregisterClassW(L"Shell_TrayWnd", GetModuleHandleW(nullptr));
    }
    TrayStandIn(const TrayStandIn&) = delete;
    TrayStandIn& operator=(const TrayStandIn&) = delete;

    bool isTheTray() const { return m_window != nullptr && FindWindowW(L"Shell_TrayWnd", nullptr) == m_window; }

    struct Call {
        WPARAM window;
        std::vector<unsigned char> data;
    };
    std::vector<Call> calls;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_COPYDATA) {
            auto* self = reinterpret_cast<TrayStandIn*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            const auto* copied = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            const auto* bytes = static_cast<const unsigned char*>(copied->lpData);
            self->calls.push_back({wParam, std::vector<unsigned char>(bytes, bytes + copied->cbData)});
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_window = nullptr;
};

// The icon's GUID in the data the shell passed on, found by its constant
// part (10E0, 4041, B8 62 B1 95 41 96 36 69, as stored in memory); returns
// its first field, or nothing.
bool guidFirstField(const std::vector<unsigned char>& data, std::uint32_t& first)
{
    static const unsigned char tail[] = {0xE0, 0x10, 0x41, 0x40, 0xB8, 0x62, 0xB1, 0x95, 0x41, 0x96, 0x36, 0x69};
    const auto found = std::search(data.begin(), data.end(), std::begin(tail), std::end(tail));
    if (found == data.end() || found - data.begin() < 4) {
        return false;
    }
    std::memcpy(&first, &*(found - 4), 4);
    return true;
}

bool containsText(const std::vector<unsigned char>& data, const std::wstring& text)
{
    const auto* begin = reinterpret_cast<const unsigned char*>(text.c_str());
    const auto* end = begin + (text.size() + 1) * sizeof(wchar_t);
    return std::search(data.begin(), data.end(), begin, end) != data.end();
}

constexpr int kAdd = 0;     // NIM_ADD
constexpr int kModify = 1;  // NIM_MODIFY
constexpr int kDelete = 2;  // NIM_DELETE

TEST(TrayIcon, TheFirstCallFixesTheIconsGuid)
{
    TrayStandIn tray;
    if (!tray.isTheTray()) {
        GTEST_SKIP() << "another notification area comes first";
    }
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    const int window = -8;  // widened with its sign
    const int flags = NIF_TIP | NIF_GUID;
    CallResult result = library.call(
        "shellNotifyIcon", {kAdd, window, flags, 0, 0, L"tip one", 0, 0, L"", L"", 0, static_cast<int>(0xA1B2C3D4)});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofBoolean(true), result.value);
    result = library.call("shellNotifyIcon",
                          {kModify, window, flags, 0, 0, L"tip two", 0, 0, L"", L"", 0, 0x0BADF00D});
    EXPECT_EQ(Value::ofBoolean(true), result.value);
    result = library.call("shellNotifyIcon", {kDelete, window, flags, 0, 0, nullptr, 0, 0, nullptr, nullptr, 0, 7});
    EXPECT_EQ(Value::ofBoolean(true), result.value);

    ASSERT_EQ(3u, tray.calls.size());
    for (const TrayStandIn::Call& call : tray.calls) {
        std::uint32_t first = 0;
        ASSERT_TRUE(guidFirstField(call.data, first));
        EXPECT_EQ(0xA1B2C3D4u, first);
        EXPECT_EQ(static_cast<WPARAM>(static_cast<INT_PTR>(window)), call.window);
    }
    EXPECT_TRUE(containsText(tray.calls[0].data, L"tip one"));
    EXPECT_TRUE(containsText(tray.calls[1].data, L"tip two"));
}

TEST(TrayIcon, ATextOverItsLimitIsLeftEmptyAndTheCallIsMadeAllTheSame)
{
    TrayStandIn tray;
    if (!tray.isTheTray()) {
        GTEST_SKIP() << "another notification area comes first";
    }
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    const int flags = NIF_TIP | NIF_INFO;
    const std::wstring tip(128, L't');
    const std::wstring info = L"balloon text";
    const std::wstring title(63, L'h');
    const CallResult result =
        library.call("shellNotifyIcon", {kModify, 0x20, flags, 0, 0, tip, 0, 0, info, title, NIIF_INFO, 3});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    EXPECT_EQ(Value::ofBoolean(true), result.value);
    ASSERT_EQ(1u, tray.calls.size());
    EXPECT_FALSE(containsText(tray.calls[0].data, tip.substr(0, 127)));
    // The texts that fit are passed on.
    EXPECT_TRUE(containsText(tray.calls[0].data, info));
    EXPECT_TRUE(containsText(tray.calls[0].data, title));

    // At their limits all three fit.
    const CallResult limits = library.call(
        "shellNotifyIcon",
        {kModify, 0x20, flags, 0, 0, tip.substr(0, 127), 0, 0, std::wstring(255, L'i'), title, 0, 3});
    EXPECT_TRUE(threwNothing(limits));
    ASSERT_EQ(2u, tray.calls.size());
    EXPECT_TRUE(containsText(tray.calls[1].data, tip.substr(0, 127)));
    EXPECT_TRUE(containsText(tray.calls[1].data, std::wstring(255, L'i')));
}

// --- power ----------------------------------------------------------------

TEST(Power, DisablingThenEnablingTheScreenSaverReturnsTheDisabledState)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    library.call("disableScreenSaver");
    // ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED
    EXPECT_EQ(Value::ofInt(static_cast<std::int32_t>(0x80000003u)), library.call("enableScreenSaver").value);
    // The long form gives the previous state as an unsigned number.
    EXPECT_EQ(Value::ofLong(0x80000000ll), library.call("disableScreenSaver2").value);
    EXPECT_EQ(Value::ofLong(0x80000003ll), library.call("disableScreenSaver2").value);
    EXPECT_EQ(Value::ofInt(static_cast<std::int32_t>(0x80000003u)),
              library.call("setThreadExecutionState", {static_cast<int>(0x80000000u)}).value);
    EXPECT_EQ(Value::ofInt(static_cast<std::int32_t>(0x80000000u)), library.call("enableScreenSaver").value);
}

// --- versions -------------------------------------------------------------------------

struct SystemVersion {
    DWORD major;
    DWORD minor;
    WORD servicePack;
};

// The system's true version, as the kernel reports it.
SystemVersion systemVersion()
{
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const auto rtlGetVersion =
        reinterpret_cast<RtlGetVersionFunction>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion"));
    if (rtlGetVersion != nullptr) {
        rtlGetVersion(&version);
    }
    return {version.dwMajorVersion, version.dwMinorVersion, version.wServicePackMajor};
}

bool atLeast(const SystemVersion& system, DWORD major, DWORD minor, WORD servicePack)
{
    if (system.major != major) {
        return system.major > major;
    }
    if (system.minor != minor) {
        return system.minor > minor;
    }
    return system.servicePack >= servicePack;
}

TEST(Versions, Windows7AndTheNineNamesCompareWithTheSystem)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    const SystemVersion system = systemVersion();
    ASSERT_NE(0u, system.major);
    EXPECT_EQ(Value::ofBoolean(atLeast(system, 6, 1, 0)), library.call("isWin7OrLater").value);
    const struct {
        const wchar_t* name;
        DWORD major;
        DWORD minor;
        WORD servicePack;
    } rows[] = {
        {L"IsWindowsXPSP1OrGreater", 5, 1, 1},    {L"IsWindowsXPSP2OrGreater", 5, 1, 2},
        {L"IsWindowsXPSP3OrGreater", 5, 1, 3},    {L"IsWindowsVistaSP1OrGreater", 6, 0, 1},
        {L"IsWindowsVistaSP2OrGreater", 6, 0, 2}, {L"IsWindows7SP1OrGreater", 6, 1, 1},
        {L"IsWindows8OrGreater", 6, 2, 0},        {L"IsWindows8Point1OrGreater", 6, 3, 0},
        {L"IsWindows10OrGreater", 10, 0, 0},
    };
    for (const auto& row : rows) {
        const CallResult result = library.call("isCorrectOSVersion", {row.name});
        EXPECT_TRUE(threwNothing(result));
        EXPECT_EQ(Value::ofBoolean(atLeast(system, row.major, row.minor, row.servicePack)), result.value)
            << narrow(row.name) << " on " << system.major << "." << system.minor << " SP" << system.servicePack;
    }
    // XP with its service packs is older than anything Wine pretends to be.
    EXPECT_EQ(Value::ofBoolean(true), library.call("isCorrectOSVersion", {L"IsWindowsXPSP1OrGreater"}).value);
}

TEST(Versions, UnknownNamesAreFalse)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    for (const std::wstring name : {L"IsWindows7OrGreater", L"iswindows8orgreater", L"IsWindows8OrGreater ",
                                    L"IsWindows8", L"", L"IsWindowsXPOrGreater"}) {
        const CallResult result = library.call("isCorrectOSVersion", {name});
        EXPECT_TRUE(threwNothing(result)) << narrow(name);
        EXPECT_EQ(Value::ofBoolean(false), result.value) << narrow(name);
    }
    EXPECT_EQ(Value::ofBoolean(false), library.call("isCorrectOSVersion", {nullptr}).value);
    EXPECT_TRUE(threwNothing(library.call("isCorrectOSVersion", {std::wstring(127, L'I')})));
    const CallResult tooLong = library.call("isCorrectOSVersion", {std::wstring(128, L'I')});
    EXPECT_TRUE(threwAccess(tooLong, L"jstringToChars", L"jstring truncation occurred"));
    EXPECT_EQ(Value::ofBoolean(false), tooLong.value);
}

}  // namespace
}  // namespace vantor::jnihost
