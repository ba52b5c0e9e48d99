// The hidden hook window: its class, registered at process attach, and the
// hook thread that initialise starts and destroy ends.
#pragma once

#include <windows.h>

namespace vantor::access {

inline constexpr wchar_t kHookWindowClass[] = L"Vantor Window Hook";

// Register the window class through the ANSI or the wide interface. The
// outcome is not reported: without the class the hook thread cannot create
// its window and says so on standard output.
void registerHookWindowClassA();
void registerHookWindowClassW();

// Thread procedures of the hook thread (ANSI and wide variants). `ready` is
// an event handle that the thread signals as soon as its message queue
// exists, so that a quit message posted to it from then on is not lost. The
// thread creates the hidden window, runs its message loop until the quit
// message and destroys the window before it ends; its exit code is the quit
// message's parameter. A C++ exception that ends the thread's work ends the
// thread with exit code 0, its window destroyed.
unsigned __stdcall hookThreadA(void* ready);
unsigned __stdcall hookThreadW(void* ready);

}  // namespace vantor::access
