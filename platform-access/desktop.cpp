// Window hook, tray icon, power and OS version: the desktop side of the
// library.
//
// The hook window class and the hook thread are part of the frame's life
// cycle (process attach, initialise, destroy) and are built; the hook window
// procedure hands every message to default processing for now. The exported
// operations of this family are not built into the library yet: each one
// throws (<method>, "not implemented") and returns its neutral result, so
// that no caller mistakes it for a success.
#include "exports.h"
#include "frame.h"
#include "hook_window.h"

#include <cstdio>

namespace vantor::access {

namespace {

LRESULT CALLBACK hookWindowProcedureW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK hookWindowProcedureA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
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
    std::fputs("Failed to create window\n", stdout);
    std::fflush(stdout);
    return 0;
}

}  // namespace

void registerHookWindowClass(bool narrow)
{
    if (narrow) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = hookWindowProcedureA;
        windowClass.hInstance = libraryModule;
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
        windowClass.lpszClassName = kHookWindowClassA;
        RegisterClassExA(&windowClass);
        return;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = hookWindowProcedureW;
    windowClass.hInstance = libraryModule;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kHookWindowClass;
    RegisterClassExW(&windowClass);
}

unsigned __stdcall hookThreadW(void* ready)
{
    signalReady(ready);
    const HWND window = CreateWindowExW(0, kHookWindowClass, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, libraryModule, nullptr);
    if (window == nullptr) {
        return exitWithoutWindow();
    }
    MSG message{};
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0 && got != -1) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The window belongs to this thread and goes with it.
    return got == 0 ? static_cast<unsigned>(message.wParam) : 0;
}

unsigned __stdcall hookThreadA(void* ready)
{
    signalReady(ready);
    const HWND window =
        CreateWindowExA(0, kHookWindowClassA, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, nullptr, nullptr, libraryModule, nullptr);
    if (window == nullptr) {
        return exitWithoutWindow();
    }
    MSG message{};
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0 && got != -1) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return got == 0 ? static_cast<unsigned>(message.wParam) : 0;
}

}  // namespace vantor::access

using namespace vantor::access;

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellNotifyIcon(
    JNIEnv* env, jclass, jint, jint, jint, jint, jint, jstring, jint, jint, jstring, jstring, jint, jint)
{
    throwNotImplemented(env, "shellNotifyIcon");
    return JNI_FALSE;
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_setThreadExecutionState(JNIEnv* env,
                                                                                                      jclass, jint)
{
    throwNotImplemented(env, "setThreadExecutionState");
    return 0;
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_enableScreenSaver(JNIEnv* env, jclass)
{
    throwNotImplemented(env, "enableScreenSaver");
    return 0;
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_disableScreenSaver(JNIEnv* env, jclass)
{
    throwNotImplemented(env, "disableScreenSaver");
    return 0;
}

jlong JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_disableScreenSaver2(JNIEnv* env, jclass)
{
    throwNotImplemented(env, "disableScreenSaver2");
    return 0;
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_SHChangeNotify(JNIEnv* env, jclass)
{
    throwNotImplemented(env, "SHChangeNotify");
}

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_isWin7OrLater(JNIEnv* env, jclass)
{
    throwNotImplemented(env, "isWin7OrLater");
    return JNI_FALSE;
}

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_isCorrectOSVersion(JNIEnv* env,
                                                                                                     jclass, jstring)
{
    throwNotImplemented(env, "isCorrectOSVersion");
    return JNI_FALSE;
}
