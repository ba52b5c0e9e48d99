// Window hook, tray icon, power and OS version: the desktop side of the
// library.
//
// The hook window class is registered at process attach and the hook thread
// started by initialise (see frame.cpp); every message of the hidden window
// is handed to the static Java method `callback` on the hook thread, which is
// attached to the VM only while it handles the message.
#include "common/win/unique_handle.h"
#include "platform-access/core/version_names.h"
#include "platform-access/jni/boundary.h"
#include "platform-access/jni/exports.h"
#include "platform-access/jni/fault_point.h"
#include "platform-access/jni/frame.h"
#include "platform-access/jni/hook_window.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace vantor::access {

namespace {

// Local references a callback may make before the VM must grow its frame.
constexpr jint kCallbackLocalCapacity = 16;

// The local frame of one `callback` call, so that nothing the VM makes for
// the call outlives the message. When it goes, also when a C++ exception
// ends the call, it clears a Java exception that the call left (it belongs
// to no Java caller and would forbid every later JNI call) and ends the
// frame.
class CallbackFrame {
public:
    explicit CallbackFrame(JNIEnv* env) : m_env(env), m_pushed(env->PushLocalFrame(kCallbackLocalCapacity) == 0) {}
    ~CallbackFrame()
    {
        m_env->ExceptionClear();
        if (m_pushed) {
            m_env->PopLocalFrame(nullptr);
        }
    }
    CallbackFrame(const CallbackFrame&) = delete;
    CallbackFrame& operator=(const CallbackFrame&) = delete;

    bool pushed() const { return m_pushed; }

private:
    JNIEnv* m_env;
    bool m_pushed;
};

// Calls OvWin32AccessInterface.callback(message, low 32 bits of wParam,
// lParam) on the attached hook thread and returns the low 32 bits of its
// answer, or -1 (unhandled) when there is no class, no method or the method
// threw.
jint callCallback(JNIEnv* env, UINT message, WPARAM wParam, LPARAM lParam)
{
    const jclass type = interfaceClass.load();
    if (type == nullptr) {
        return -1;
    }
    const CallbackFrame frame(env);
    if (!frame.pushed()) {
        return -1;
    }
    faultPoint("hookWindowProcedure");
    const jmethodID callback = env->GetStaticMethodID(type, "callback", "(IIJ)J");
    if (callback == nullptr) {
        // The frame clears the VM's NoSuchMethodError as it goes.
        writeDiagnosticLine(stderr, "failed to resolve callback method\n");
        return -1;
    }
    const jlong answer =
        env->CallStaticLongMethod(type, callback, static_cast<jint>(message),
                                  static_cast<jint>(static_cast<std::uint32_t>(wParam)), static_cast<jlong>(lParam));
    if (env->ExceptionCheck() == JNI_TRUE) {
        return -1;
    }
    return static_cast<jint>(static_cast<std::uint32_t>(answer));
}

// Detaches the hook thread from the VM when it goes, also when a C++
// exception ends the message's work.
class Attachment {
public:
    explicit Attachment(JavaVM* vm) : m_vm(vm) {}
    ~Attachment() { m_vm->DetachCurrentThread(); }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

private:
    JavaVM* m_vm;
};

// The window procedure's work for one message: attach to the VM, ask
// `callback`, detach again. A thread that is attached already (a message
// sent to the window while `callback` runs) is neither attached nor detached
// again, so that the outer call keeps its attachment.
jint askJava(UINT message, WPARAM wParam, LPARAM lParam)
{
    JavaVM* vm = javaVm.load();
    JNIEnv* env = nullptr;
    if (vm != nullptr && vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_2) == JNI_OK) {
        return callCallback(env, message, wParam, lParam);
    }
    if (vm == nullptr || vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) {
        writeDiagnosticLine(stderr, "failed to attach current thread to JVM\n");
        return -1;
    }
    const Attachment attached(vm);
    return callCallback(env, message, wParam, lParam);
}

// Java's answer to a message, or -1 (default processing) when a C++
// exception ended the asking: no exception may unwind through the window
// manager's frames below the window procedure.
jint answerOf(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return guarded([&] { return askJava(message, wParam, lParam); }, [](const char*) { return jint{-1}; });
}

LRESULT CALLBACK hookWindowProcedureW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const jint result = answerOf(message, wParam, lParam);
    if (result == -1) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return static_cast<LRESULT>(result);
}

LRESULT CALLBACK hookWindowProcedureA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const jint result = answerOf(message, wParam, lParam);
    if (result == -1) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return static_cast<LRESULT>(result);
}

constexpr char kHookWindowClassA[] = "Vantor Window Hook";

// Creates the thread's message queue (any message function does) and says so.
void signalReady(void* ready)
{
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    SetEvent(static_cast<HANDLE>(ready));
}

unsigned exitWithoutWindow()
{
    writeDiagnosticLine(stdout, "Failed to create window\n");
    return 0;
}

}  // namespace

void registerHookWindowClassA()
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = hookWindowProcedureA;
    windowClass.hInstance = libraryModule;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kHookWindowClassA;
    RegisterClassExA(&windowClass);
}

void registerHookWindowClassW()
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = hookWindowProcedureW;
    windowClass.hInstance = libraryModule;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kHookWindowClass;
    RegisterClassExW(&windowClass);
}

namespace {

// The hidden window, destroyed when it goes: at the end of the message loop,
// or when a C++ exception ends the thread's work. It is destroyed while the
// thread can still attach to the VM, so that `callback` hears of its
// destruction like of any other message (unless Java destroyed it already).
struct HookWindowTraits {
    using Type = HWND;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type window) noexcept { return window != nullptr; }
    static void close(Type window) noexcept
    {
        if (IsWindow(window)) {
            DestroyWindow(window);
        }
    }
};
using HookWindow = vantor::win::UniqueHandle<HookWindowTraits>;

unsigned runHookThreadW(void* ready)
{
    signalReady(ready);
    const HookWindow window(CreateWindowExW(0, kHookWindowClass, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                            libraryModule, nullptr));
    if (!window) {
        return exitWithoutWindow();
    }
    faultPoint("hookThread");
    MSG message{};
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0 && got != -1) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return got == 0 ? static_cast<unsigned>(message.wParam) : 0;
}

unsigned runHookThreadA(void* ready)
{
    signalReady(ready);
    const HookWindow window(CreateWindowExA(0, kHookWindowClassA, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                            libraryModule, nullptr));
    if (!window) {
        return exitWithoutWindow();
    }
    faultPoint("hookThread");
    MSG message{};
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0 && got != -1) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return got == 0 ? static_cast<unsigned>(message.wParam) : 0;
}

}  // namespace

unsigned __stdcall hookThreadW(void* ready)
{
    return guarded([ready] { return runHookThreadW(ready); }, [](const char*) { return 0u; });
}

unsigned __stdcall hookThreadA(void* ready)
{
    return guarded([ready] { return runHookThreadA(ready); }, [](const char*) { return 0u; });
}

namespace {

// --- tray icon -------------------------------------------------------------

// The shell's notification-icon record in its full current size.
static_assert(sizeof(NOTIFYICONDATAW) == 976, "the tray icon record must be the shell's full current size");

constexpr std::size_t kTipCapacity = 128;        // at most 127 characters
constexpr std::size_t kInfoCapacity = 256;       // at most 255 characters
constexpr std::size_t kInfoTitleCapacity = 64;   // at most 63 characters

// The identifier of the process's tray icon. Its first field is the one the
// first call asked for; later calls get the same identifier, whatever they
// ask, so that the shell keeps seeing one icon.
GUID trayGuid(jint firstCallsFirstField)
{
    static const GUID guid = [firstCallsFirstField] {
        GUID fixed{};
        fixed.Data1 = static_cast<std::uint32_t>(firstCallsFirstField);
        fixed.Data2 = 0x10E0;
        fixed.Data3 = 0x4041;
        const unsigned char tail[8] = {0xB8, 0x62, 0xB1, 0x95, 0x41, 0x96, 0x36, 0x69};
        for (int i = 0; i < 8; ++i) {
            fixed.Data4[i] = tail[i];
        }
        return fixed;
    }();
    return guid;
}

// Copies a Java string into a field of the tray record the way
// jstringToChars does, except that a text over the limit is only reported by
// the result: the record's three texts are converted before the one
// truncation exception is thrown, because no JNI call may follow a pending
// exception. The field is left as it was (empty) when the text does not fit.
[[nodiscard]] bool copyField(JNIEnv* env, jstring text, wchar_t* field, std::size_t capacity)
{
    if (text == nullptr) {
        field[0] = L'\0';
        return true;
    }
    const jsize length = env->GetStringLength(text);
    if (length < 0 || static_cast<std::size_t>(length) >= capacity) {
        return false;
    }
    env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(field));
    field[length] = L'\0';
    return true;
}

// A handle passed from Java as a 32-bit number. Window and icon handles are
// 32-bit values even in 64-bit processes, and are sign-extended there.
template <typename HandleType>
HandleType handleFrom(jint value)
{
    return reinterpret_cast<HandleType>(static_cast<INT_PTR>(value));
}

// --- power -------------------------------------------------------------------

constexpr EXECUTION_STATE kScreenSaverAllowed = ES_CONTINUOUS;
constexpr EXECUTION_STATE kScreenSaverKeptOff = ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED;

// --- version checks ------------------------------------------------------------

constexpr std::size_t kVersionNameCapacity = 128;  // at most 127 characters

bool systemIsAtLeast(DWORD major, DWORD minor, WORD servicePackMajor, bool withServicePack)
{
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof wanted;  // 284 bytes
    wanted.dwMajorVersion = major;
    wanted.dwMinorVersion = minor;
    wanted.wServicePackMajor = servicePackMajor;
    DWORD fields = VER_MAJORVERSION | VER_MINORVERSION;
    DWORDLONG conditions = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    if (withServicePack) {
        fields |= VER_SERVICEPACKMAJOR;
        conditions = VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    }
    return VerifyVersionInfoW(&wanted, fields, conditions) != FALSE;
}

}  // namespace
}  // namespace vantor::access

using namespace vantor::access;

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellNotifyIcon(
    JNIEnv* env, jclass, jint message, jint window, jint flags, jint callbackMessage, jint icon, jstring tip,
    jint state, jint stateMask, jstring info, jstring infoTitle, jint infoFlags, jint guidFirstField)
{
    return guardOperation(env, "shellNotifyIcon", JNI_FALSE, [&]() -> jboolean {
        NOTIFYICONDATAW data;
        ZeroMemory(&data, sizeof data);
        data.cbSize = sizeof data;
        data.hWnd = handleFrom<HWND>(window);
        data.uID = 0;
        data.uFlags = static_cast<UINT>(flags);
        data.uCallbackMessage = static_cast<UINT>(callbackMessage);
        data.hIcon = handleFrom<HICON>(icon);
        bool allFit = copyField(env, tip, data.szTip, kTipCapacity);
        data.dwState = static_cast<DWORD>(state);
        data.dwStateMask = static_cast<DWORD>(stateMask);
        allFit = copyField(env, info, data.szInfo, kInfoCapacity) && allFit;
        data.uTimeout = 0;
        allFit = copyField(env, infoTitle, data.szInfoTitle, kInfoTitleCapacity) && allFit;
        data.dwInfoFlags = static_cast<DWORD>(infoFlags);
        data.guidItem = trayGuid(guidFirstField);
        data.hBalloonIcon = nullptr;
        if (!allFit) {
            // The icon is shown all the same, with the text that did not fit
            // left empty.
            throwAccessException(env, "jstringToChars", "jstring truncation occurred");
        }
        faultPoint("shellNotifyIcon");
        return Shell_NotifyIconW(static_cast<DWORD>(message), &data) ? JNI_TRUE : JNI_FALSE;
    });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_setThreadExecutionState(JNIEnv* env,
                                                                                                      jclass,
                                                                                                      jint flags)
{
    return guardOperation(env, "setThreadExecutionState", 0, [flags] {
        return static_cast<jint>(SetThreadExecutionState(static_cast<EXECUTION_STATE>(flags)));
    });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_enableScreenSaver(JNIEnv* env, jclass)
{
    return guardOperation(env, "enableScreenSaver", 0,
                          [] { return static_cast<jint>(SetThreadExecutionState(kScreenSaverAllowed)); });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_disableScreenSaver(JNIEnv* env, jclass)
{
    return guardOperation(env, "disableScreenSaver", 0,
                          [] { return static_cast<jint>(SetThreadExecutionState(kScreenSaverKeptOff)); });
}

jlong JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_disableScreenSaver2(JNIEnv* env, jclass)
{
    // The previous state as an unsigned number: ES_CONTINUOUS stays positive.
    return guardOperation(env, "disableScreenSaver2", 0,
                          [] { return static_cast<jlong>(SetThreadExecutionState(kScreenSaverKeptOff)); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_SHChangeNotify(JNIEnv* env, jclass)
{
    // File-type associations changed: the shell refreshes icons and
    // open-with lists.
    guardOperation(env, "SHChangeNotify", [] { ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); });
}

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_isWin7OrLater(JNIEnv* env, jclass)
{
    return guardOperation(env, "isWin7OrLater", JNI_FALSE,
                          [] { return systemIsAtLeast(6, 1, 0, false) ? JNI_TRUE : JNI_FALSE; });
}

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_isCorrectOSVersion(JNIEnv* env,
                                                                                                     jclass,
                                                                                                     jstring name)
{
    return guardOperation(env, "isCorrectOSVersion", JNI_FALSE, [&]() -> jboolean {
        wchar_t text[kVersionNameCapacity];
        if (!jstringToChars(env, name, text, kVersionNameCapacity)) {
            return JNI_FALSE;
        }
        const VersionRequirement* requirement = findVersionRequirement(std::wstring_view(text));
        if (requirement == nullptr) {
            return JNI_FALSE;
        }
        return systemIsAtLeast(requirement->major, requirement->minor, requirement->servicePackMajor, true)
                   ? JNI_TRUE
                   : JNI_FALSE;
    });
}
