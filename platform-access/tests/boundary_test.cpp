// C++ exceptions at the library's boundary, through the test build of the
// library (vreg64_faults.dll): the same code as vreg64.dll, linked with fault
// points that a test arms to throw std::bad_alloc or another exception in
// the middle of an operation, while it holds handles, local references, a
// local frame or the thread's attachment to the VM. The host's checks fail a
// test for anything such an exception leaves behind.
#include "platform-access/jni/fault_point.h"
#include "platform-access/tests/host/jni_host.h"
#include "tests/support/test_support.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <functional>

namespace vantor::jnihost {
namespace {

using access::FaultKind;
using testing::binPath;

// The test build of the library, loaded by `host`, and its two exports.
class FaultyLibrary {
public:
    explicit FaultyLibrary(JniHost& host) : library(host.load(binPath(L"vreg64_faults.dll")))
    {
        m_arm = reinterpret_cast<access::ArmFaultFunction>(
            reinterpret_cast<void*>(GetProcAddress(library.module(), access::kArmFaultExport)));
        m_thrown = reinterpret_cast<access::FaultThrownFunction>(
            reinterpret_cast<void*>(GetProcAddress(library.module(), access::kFaultThrownExport)));
        EXPECT_NE(nullptr, m_arm);
        EXPECT_NE(nullptr, m_thrown);
    }

    void arm(const char* site, FaultKind kind) { m_arm(site, static_cast<int>(kind)); }
    bool thrown() const { return m_thrown() != 0; }

    NativeLibrary& library;

private:
    access::ArmFaultFunction m_arm = nullptr;
    access::FaultThrownFunction m_thrown = nullptr;
};

struct Fault {
    FaultKind kind;
    std::wstring message;
};

const Fault kFaults[] = {
    {FaultKind::OutOfMemory, L"out of memory"},
    {FaultKind::StandardException, L"internal error"},
    {FaultKind::OtherException, L"internal error"},
};

TEST(Boundary, AnExceptionInAnOperationOfEachFamilyBecomesItsJavaExceptionAndNeutralResult)
{
    JniHost host;
    FaultyLibrary faulty(host);
    NativeLibrary& library = faulty.library;
    library.call("initialise");
    testing::RegistrySandbox sandbox;
    sandbox.setString(L"name", L"text");
    testing::TempDir folder;
    const std::wstring probe = folder / L"probe.dll";
    ASSERT_TRUE(testing::copyFile(binPath(L"attach_marker.dll"), probe));

    struct Case {
        const char* site;
        std::wstring operation;
        std::function<CallResult()> call;
        Value neutral;
    };
    const Value null = Value::ofKind(Value::Kind::Null);
    const Value none = Value::ofKind(Value::Kind::Void);
    const std::vector<Case> cases = {
        {"testNativeAvailability", L"testNativeAvailability",
         [&] { return library.call("testNativeAvailability", {probe}); }, Value::ofBoolean(false)},
        {"readStringValue", L"readStringValue",
         [&] { return library.call("readStringValue", {4, sandbox.subKey(), L"name"}); }, null},
        // The narrow and wide forms are exports of their own.
        {"readStringValue", L"readStringValue",
         [&] { return library.callNarrow("readStringValue", {4, sandbox.subKey(), L"name"}); }, null},
        {"readStringValue", L"readStringValue",
         [&] { return library.callWide("readStringValue", {4, sandbox.subKey(), L"name"}); }, null},
        {"getFileInfo", L"getFileInfo", [&] { return library.call("getFileInfo", {binPath(L"vreg64_test.exe")}); },
         null},
        {"getDriveInfo", L"getDriveInfo", [&] { return library.call("getDriveInfo", {L'c'}); }, null},
        {"traceRoute", L"traceRoute",
         [&] { return library.call("traceRoute", {0x4000, 0x7F000001, 0x7F000001, 0, host.newListener()}); }, none},
        {"shellNotifyIcon", L"shellNotifyIcon",
         [&] {
             return library.call("shellNotifyIcon", {NIM_DELETE, 0, 0, 0, 0, L"tip", 0, 0, nullptr, nullptr, 0, 0});
         },
         Value::ofBoolean(false)},
    };
    for (const Fault& fault : kFaults) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.site) + ", " + narrow(fault.message));
            faulty.arm(c.site, fault.kind);
            const CallResult result = c.call();
            EXPECT_TRUE(faulty.thrown());
            EXPECT_TRUE(threwAccess(result, c.operation, fault.message));
            EXPECT_EQ(c.neutral, result.value);
        }
    }

    // What the operations held was let go while the exception passed: the
    // mapped file can be deleted. And the library works on.
    EXPECT_TRUE(DeleteFileW(probe.c_str()));
    EXPECT_EQ(Value::ofString(L"text"), library.call("readStringValue", {4, sandbox.subKey(), L"name"}).value);
}

TEST(Boundary, AJavaExceptionAlreadyPendingIsWhatTheCallerSees)
{
    JniHost host;
    FaultyLibrary faulty(host);
    NativeLibrary& library = faulty.library;
    library.call("initialise");
    // An over-long tip is reported, and the icon is still sent to the shell:
    // the fault comes between the two.
    faulty.arm("shellNotifyIcon", FaultKind::OutOfMemory);
    const CallResult result = library.call(
        "shellNotifyIcon", {NIM_DELETE, 0, 0, 0, 0, std::wstring(128, L't'), 0, 0, nullptr, nullptr, 0, 0});
    EXPECT_TRUE(faulty.thrown());
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    EXPECT_EQ(Value::ofBoolean(false), result.value);
}

TEST(Boundary, WithoutTheExceptionClassTheFailureIsWrittenToStandardError)
{
    HostOptions options;
    options.exceptionClass = false;
    JniHost host(options);
    FaultyLibrary faulty(host);
    NativeLibrary& library = faulty.library;
    testing::RegistrySandbox sandbox;
    sandbox.setString(L"name", L"text");
    CallResult result;
    std::string error;
    {
        OutputCapture capture;
        library.call("initialise");
        faulty.arm("readStringValue", FaultKind::OutOfMemory);
        result = library.call("readStringValue", {4, sandbox.subKey(), L"name"});
        error = capture.standardError();
    }
    EXPECT_TRUE(threwNothing(result));
    EXPECT_TRUE(result.value.isNull());
    EXPECT_EQ("failed to find OvWin32AccessExceptionImpl class\n"
              "OvWin32AccessInterface: failed to throw exception readStringValue: out of memory\n",
              error);
}

TEST(Boundary, TheHookThreadFallsBackWhenAnExceptionEndsItsWork)
{
    JniHost host;
    FaultyLibrary faulty(host);
    NativeLibrary& library = faulty.library;
    // Java handles WM_SETTEXT (the text stays); default processing sets it.
    host.setCallback([](const CallbackCall& call) { return call.message == WM_SETTEXT ? Answer(0) : Answer(-1); });
    library.call("initialise");
    const HWND window = waitForHookWindow();
    ASSERT_NE(nullptr, window);
    const DWORD first = GetWindowThreadProcessId(window, nullptr);
    // Found, the window may still be in the making; a message sent to it is
    // handled only once its thread waits for messages.
    SendMessageW(window, WM_NULL, 0, 0);
    const auto textOf = [window] {
        wchar_t text[32] = {};
        InternalGetWindowText(window, text, 32);
        return std::wstring(text);
    };

    // In the window procedure, with the thread attached and a local frame
    // pushed: the message gets default processing, and the thread is
    // detached with its frame popped (the host checks both).
    for (const Fault& fault : kFaults) {
        faulty.arm("hookWindowProcedure", fault.kind);
        EXPECT_EQ(TRUE, SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fault.message.c_str())));
        EXPECT_TRUE(faulty.thrown());
        EXPECT_EQ(fault.message, textOf());
    }
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"handled by Java"));
    EXPECT_EQ(L"internal error", textOf());
    EXPECT_EQ(host.attachCount(), host.detachCount());
    library.call("destroy");
    EXPECT_TRUE(threadEnds(first));

    // On the hook thread once its window exists: the thread ends, its window
    // destroyed while Java can still hear of it.
    faulty.arm("hookThread", FaultKind::OutOfMemory);
    EXPECT_TRUE(threwNothing(library.call("initialise")));
    DWORD second = 0;
    for (int i = 0; i < 500 && second == 0; ++i) {
        for (const CallbackCall& call : host.callbackCalls()) {
            if (call.message == WM_DESTROY && call.threadId != first) {
                second = call.threadId;
            }
        }
        Sleep(10);
    }
    ASSERT_NE(0u, second) << "the second hook window was not destroyed";
    EXPECT_TRUE(threadEnds(second));
    EXPECT_TRUE(faulty.thrown());
    EXPECT_TRUE(hookWindows().empty());
}

}  // namespace
}  // namespace vantor::jnihost
