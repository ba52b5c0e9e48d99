// The hidden hook window: its class, registered at process attach, and the
// hook thread that initialise starts and destroy ends (see frame.cpp). Every
// message of the window is handed to the static Java method `callback` on the
// hook thread, which is attached to the VM only while it handles the message.
//
// The narrow and the wide form are one template over the character type,
// instantiated with the ANSI and the wide window functions.
#include "platform-access/jni/hook_window.h"

#include "common/win/unique_handle.h"
#include "platform-access/jni/boundary.h"
#include "platform-access/jni/fault_point.h"
#include "platform-access/jni/frame.h"

#include <cstdint>
#include <cstdio>

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

// The ANSI and the wide window functions under one set of names.
template <typename Char>
struct WindowApi;

template <>
struct WindowApi<wchar_t> {
    using WindowClass = WNDCLASSEXW;
    static constexpr const wchar_t* className = kHookWindowClass;
    static LRESULT defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static void registerClass(const WindowClass& windowClass) { RegisterClassExW(&windowClass); }
    static HWND createWindow()
    {
        return CreateWindowExW(0, className, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, nullptr, nullptr, libraryModule, nullptr);
    }
    static BOOL getMessage(MSG& message) { return GetMessageW(&message, nullptr, 0, 0); }
    static void dispatchMessage(const MSG& message) { DispatchMessageW(&message); }
};

template <>
struct WindowApi<char> {
    using WindowClass = WNDCLASSEXA;
    static constexpr const char* className = "Vantor Window Hook";
    static LRESULT defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    static void registerClass(const WindowClass& windowClass) { RegisterClassExA(&windowClass); }
    static HWND createWindow()
    {
        return CreateWindowExA(0, className, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, nullptr, nullptr, libraryModule, nullptr);
    }
    static BOOL getMessage(MSG& message) { return GetMessageA(&message, nullptr, 0, 0); }
    static void dispatchMessage(const MSG& message) { DispatchMessageA(&message); }
};

template <typename Char>
LRESULT CALLBACK hookWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const jint result = answerOf(message, wParam, lParam);
    if (result == -1) {
        return WindowApi<Char>::defaultProcedure(window, message, wParam, lParam);
    }
    return static_cast<LRESULT>(result);
}

template <typename Char>
void registerHookWindowClass()
{
    typename WindowApi<Char>::WindowClass windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = hookWindowProcedure<Char>;
    windowClass.hInstance = libraryModule;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = WindowApi<Char>::className;
    WindowApi<Char>::registerClass(windowClass);
}

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

template <typename Char>
unsigned runHookThread(void* ready)
{
    signalReady(ready);
    const HookWindow window(WindowApi<Char>::createWindow());
    if (!window) {
        return exitWithoutWindow();
    }
    faultPoint("hookThread");
    MSG message{};
    BOOL got;
    while ((got = WindowApi<Char>::getMessage(message)) != 0 && got != -1) {
        TranslateMessage(&message);
        WindowApi<Char>::dispatchMessage(message);
    }
    return got == 0 ? static_cast<unsigned>(message.wParam) : 0;
}

template <typename Char>
unsigned hookThread(void* ready) noexcept
{
    return guarded([ready] { return runHookThread<Char>(ready); }, [](const char*) { return 0u; });
}

}  // namespace

void registerHookWindowClassA()
{
    registerHookWindowClass<char>();
}

void registerHookWindowClassW()
{
    registerHookWindowClass<wchar_t>();
}

unsigned __stdcall hookThreadA(void* ready)
{
    return hookThread<char>(ready);
}

unsigned __stdcall hookThreadW(void* ready)
{
    return hookThread<wchar_t>(ready);
}

}  // namespace vantor::access
