// What handing a message of the hidden hook window to Java costs: messages
// sent from this thread to the hook window (the hook thread attaches to the
// VM, calls `callback`, detaches) against the same messages sent to a plain
// window on a thread of its own that only gives them default processing.
// The VM is the JNI test host, so the ratio shows the library's share and the
// host's attach, not a real JVM's. Prints ratios only; no absolute times.
#include "bench/bench_timer.h"
#include "platform-access/tests/host/jni_host.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

using vantor::jnihost::Answer;
using vantor::jnihost::CallbackCall;
using vantor::jnihost::JniHost;
using vantor::jnihost::NativeLibrary;
using vantor::jnihost::ViolationMode;

constexpr int kMessages = 200;
constexpr int kRepeats = 101;

struct PlainWindowThread {
    vantor::win::Handle ready;
    HWND window = nullptr;
};

DWORD WINAPI plainWindowThread(void* context)
{
    auto& plain = *static_cast<PlainWindowThread*>(context);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Vantor Bench Plain Window";
    RegisterClassExW(&windowClass);
    plain.window = CreateWindowExW(0, windowClass.lpszClassName, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    SetEvent(plain.ready.get());
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    if (plain.window != nullptr) {
        DestroyWindow(plain.window);
    }
    return 0;
}

double secondsForMessages(HWND window)
{
    return vantor::bench::secondsFor(kMessages, [window] { SendMessageW(window, WM_NULL, 0, 0); });
}

}  // namespace

int main()
{
    PlainWindowThread plain;
    plain.ready.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD plainThreadId = 0;
    const vantor::win::Handle plainThread(CreateThread(nullptr, 0, plainWindowThread, &plain, 0, &plainThreadId));
    WaitForSingleObject(plain.ready.get(), INFINITE);
    if (plain.window == nullptr) {
        std::printf("cannot create the plain window\n");
        return 1;
    }

    int status = 0;
    {
        JniHost host;
        host.setViolationMode(ViolationMode::Collect);
        // Leave every message unhandled, as an application that listens for
        // a few broadcasts does with the rest.
        host.setCallback([](const CallbackCall&) { return Answer(-1); });
        NativeLibrary& library = host.load();
        library.call("initialise");
        const HWND hook = vantor::jnihost::waitForHookWindow();
        if (hook == nullptr) {
            std::printf("the hook window did not appear\n");
            return 1;
        }

        // The two kinds of batch take turns, so that a disturbance of the
        // shared machine falls on both alike; the medians are compared.
        std::vector<double> baseline;
        std::vector<double> hooked;
        for (int round = 0; round < kRepeats; ++round) {
            baseline.push_back(secondsForMessages(plain.window));
            hooked.push_back(secondsForMessages(hook));
        }
        std::printf("hook window message (attach, callback, detach) / plain cross-thread message: %.2f\n",
                    vantor::bench::median(hooked) / vantor::bench::median(baseline));
        const std::size_t violations = host.takeViolations().size();
        if (violations != 0) {
            std::printf("JNI violations during the run: %zu\n", violations);
            status = 1;
        }
        library.call("destroy");
    }

    PostThreadMessageW(plainThreadId, WM_QUIT, 0, 0);
    WaitForSingleObject(plainThread.get(), INFINITE);
    return status;
}
