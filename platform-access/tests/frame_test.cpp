// The library frame through the JNI host: initialise and destroy with the
// hook thread, failure reporting with and without the exception class, and
// the three small operations.
#include "platform-access/tests/host/jni_host.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

namespace vantor::jnihost {
namespace {

using testing::binPath;
using testing::TempDir;

const std::string kThrowFailureLine = "OvWin32AccessInterface: failed to throw exception readValue: unsupported type\n";

TEST(Frame, VersionIsThreePointZeroInEveryForm)
{
    JniHost host;
    NativeLibrary& library = host.load();
    EXPECT_EQ(Value::ofString(L"3.0"), library.call("getVersion").value);
    EXPECT_EQ(Value::ofString(L"3.0"), library.callNarrow("getVersion").value);
    EXPECT_EQ(Value::ofString(L"3.0"), library.callWide("getVersion").value);
}

TEST(Frame, ModuleNameIsTheLibraryFileInEveryForm)
{
    JniHost host;
    NativeLibrary& library = host.load();
    wchar_t expected[MAX_PATH];
    GetModuleFileNameW(library.module(), expected, MAX_PATH);

    EXPECT_EQ(Value::ofString(expected), library.call("getModuleName").value);
    EXPECT_EQ(Value::ofString(expected), library.callWide("getModuleName").value);
    // The entry point is also exported with C++ linkage, as it always was.
    EXPECT_EQ(Value::ofString(expected), library.callExport("getModuleName", "getModuleName").value);
    // The ANSI form hands the bytes of an ASCII path over unchanged.
    EXPECT_EQ(Value::ofString(expected), library.callNarrow("getModuleName").value);
}

TEST(Frame, NativeAvailabilityMapsTheFileWithoutRunningIt)
{
    JniHost host;
    NativeLibrary& library = host.load();
    TempDir folder;
    // A library whose process attach leaves a marker file: loading it as
    // data must not run that code.
    const std::wstring probe = folder / L"probe.dll";
    ASSERT_TRUE(testing::copyFile(binPath(L"attach_marker.dll"), probe));
    const std::wstring marker = probe + L".attached";

    EXPECT_EQ(Value::ofBoolean(true), library.call("testNativeAvailability", {probe}).value);
    EXPECT_EQ(Value::ofBoolean(true), library.callNarrow("testNativeAvailability", {probe}).value);
    EXPECT_FALSE(testing::fileExists(marker));
    // Still free to be deleted: the mapping was released again.
    EXPECT_TRUE(DeleteFileW(probe.c_str()));

    EXPECT_EQ(Value::ofBoolean(false), library.call("testNativeAvailability", {folder / L"missing.dll"}).value);
    testing::writeFileBytes(folder / L"text.dll", "not a library");
    EXPECT_EQ(Value::ofBoolean(false), library.call("testNativeAvailability", {folder / L"text.dll"}).value);
    EXPECT_EQ(Value::ofBoolean(false), library.call("testNativeAvailability", {nullptr}).value);
}

TEST(Frame, NativeAvailabilityPathLimit)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    // 2,046 characters are converted (the file does not exist).
    CallResult result = library.call("testNativeAvailability", {L"c:\\" + std::wstring(2043, L'a')});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofBoolean(false), result.value);
    result = library.call("testNativeAvailability", {L"c:\\" + std::wstring(2044, L'a')});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    EXPECT_EQ(Value::ofBoolean(false), result.value);
    result = library.callNarrow("testNativeAvailability", {L"c:\\" + std::wstring(2044, L'a')});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
}

TEST(Frame, FailuresBeforeInitialiseGoToStandardErrorOnly)
{
    JniHost host;
    NativeLibrary& library = host.load();
    CallResult result;
    std::string error;
    {
        OutputCapture capture;
        result = library.call("readStringValue", {0, L"Software", L"x"});
        error = capture.standardError();
    }
    EXPECT_TRUE(threwNothing(result));
    EXPECT_TRUE(result.value.isNull());
    EXPECT_EQ(kThrowFailureLine, error);
}

TEST(Frame, DestroyBeforeInitialiseDoesNothing)
{
    JniHost host;
    NativeLibrary& library = host.load();
    EXPECT_TRUE(threwNothing(library.call("destroy")));
    EXPECT_TRUE(hookWindows().empty());
}

TEST(Frame, InitialiseKeepsBothClassesAndDestroyEndsTheHookThread)
{
    JniHost host;
    NativeLibrary& library = host.load();
    std::string error;
    {
        OutputCapture capture;
        EXPECT_TRUE(threwNothing(library.call("initialise")));
        error = capture.standardError();
    }
    EXPECT_EQ("", error);
    EXPECT_EQ(2u, host.globalReferenceCount());

    // The hook thread has made its hidden window by the time the first
    // messages arrive; wait for it rather than assume it.
    std::vector<HWND> windows;
    for (int i = 0; i < 200 && windows.empty(); ++i) {
        Sleep(10);
        windows = hookWindows();
    }
    ASSERT_EQ(1u, windows.size());
    EXPECT_FALSE(IsWindowVisible(windows[0]));
    const DWORD hookThread = GetWindowThreadProcessId(windows[0], nullptr);
    EXPECT_NE(GetCurrentThreadId(), hookThread);

    // Now failures are thrown to Java.
    EXPECT_TRUE(threwAccess(library.call("readStringValue", {6, L"", L""}), L"readValue", L"unsupported type"));

    EXPECT_TRUE(threwNothing(library.call("destroy")));
    EXPECT_TRUE(threadEnds(hookThread));
    EXPECT_TRUE(hookWindows().empty());
}

TEST(Frame, DestroyRightAfterInitialiseStillEndsTheHookThread)
{
    // The quit message must not be lost when it is posted before the hook
    // thread has run at all.
    for (int round = 0; round < 20; ++round) {
        JniHost host;
        NativeLibrary& library = host.load();
        const CallResult initialised = library.call("initialise");
        library.call("destroy");
        std::vector<HWND> windows = hookWindows();
        for (const HWND window : windows) {
            EXPECT_TRUE(threadEnds(GetWindowThreadProcessId(window, nullptr))) << "round " << round;
        }
        ASSERT_TRUE(threwNothing(initialised));
    }
}

TEST(Frame, SecondInitialiseStartsASecondHookThreadAndDestroyReachesTheLatest)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    std::vector<HWND> windows;
    for (int i = 0; i < 200 && windows.size() < 1; ++i) {
        Sleep(10);
        windows = hookWindows();
    }
    ASSERT_EQ(1u, windows.size());
    const DWORD first = GetWindowThreadProcessId(windows[0], nullptr);

    library.call("initialise");
    EXPECT_EQ(4u, host.globalReferenceCount());  // the first pair is kept, never deleted
    for (int i = 0; i < 200 && windows.size() < 2; ++i) {
        Sleep(10);
        windows = hookWindows();
    }
    ASSERT_EQ(2u, windows.size());
    DWORD second = GetWindowThreadProcessId(windows[0], nullptr);
    if (second == first) {
        second = GetWindowThreadProcessId(windows[1], nullptr);
    }

    library.call("destroy");
    EXPECT_TRUE(threadEnds(second));
    const win::Handle firstThread(OpenThread(SYNCHRONIZE, FALSE, first));
    ASSERT_TRUE(firstThread);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(firstThread.get(), 100));
    // End the first one as its owner would have to.
    PostThreadMessageW(first, WM_QUIT, 0, 0);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(firstThread.get(), 10000));
}

TEST(Frame, WithoutTheExceptionClassFailuresAreOnlyWritten)
{
    HostOptions options;
    options.exceptionClass = false;
    JniHost host(options);
    NativeLibrary& library = host.load();
    std::string error;
    CallResult initialised;
    CallResult failed;
    {
        OutputCapture capture;
        initialised = library.call("initialise");
        failed = library.call("deleteKey", {7, L"x", true});
        error = capture.standardError();
    }
    // initialise itself does not fail: the VM's NoClassDefFoundError is not
    // left behind for Java.
    EXPECT_TRUE(threwNothing(initialised));
    EXPECT_TRUE(threwNothing(failed));
    EXPECT_EQ("failed to find OvWin32AccessExceptionImpl class\n" + kThrowFailureLine, error);
    EXPECT_EQ(1u, host.globalReferenceCount());
}

TEST(Frame, WithoutTheInterfaceClassOnlyTheCallbackIsLost)
{
    HostOptions options;
    options.interfaceClass = false;
    JniHost host(options);
    NativeLibrary& library = host.load();
    std::string error;
    CallResult initialised;
    {
        OutputCapture capture;
        initialised = library.call("initialise");
        error = capture.standardError();
    }
    EXPECT_TRUE(threwNothing(initialised));
    EXPECT_EQ("failed to find OvWin32AccessInterface class\n", error);
    EXPECT_TRUE(threwAccess(library.call("readWordValue", {0, L"", L""}), L"readValue", L"unsupported type"));
}

TEST(Frame, MissingExceptionConstructorLeavesTheVmErrorAndWrites)
{
    HostOptions options;
    options.exceptionConstructor = false;
    JniHost host(options);
    NativeLibrary& library = host.load();
    library.call("initialise");
    std::string error;
    CallResult failed;
    {
        OutputCapture capture;
        failed = library.call("readStringValue", {0, L"", L""});
        error = capture.standardError();
    }
    EXPECT_EQ("OvWin32AccessInterface: failed to resolve constructor" + kThrowFailureLine, error);
    ASSERT_TRUE(failed.exception);
    EXPECT_EQ("java/lang/NoSuchMethodError", failed.exception->className);
}

// Generous: a line that arrives does so within milliseconds, one that the C
// runtime holds back does not arrive at all while the process runs.
constexpr DWORD kArrivalMs = 5000;

TEST(Diagnostics, EachLineReachesAPipeReaderAtOnce)
{
    {
        HostOptions options;
        options.exceptionClass = false;
        PipeReader error(PipeReader::Stream::Error);
        JniHost host(options);
        NativeLibrary& library = host.load();
        library.call("initialise");
        EXPECT_TRUE(error.waitFor("failed to find OvWin32AccessExceptionImpl class\n", kArrivalMs)) << error.text();
        library.call("readStringValue", {0, L"Software", L"x"});
        EXPECT_TRUE(error.waitFor(kThrowFailureLine, kArrivalMs)) << error.text();
    }
    {
        // Lines of the hook thread, which a Java application hears nothing
        // else from.
        HostOptions options;
        options.callbackMethod = false;
        PipeReader error(PipeReader::Stream::Error);
        JniHost host(options);
        NativeLibrary& library = host.load();
        library.call("initialise");
        EXPECT_TRUE(error.waitFor("failed to resolve callback method\n", kArrivalMs)) << error.text();
    }
    {
        HostOptions options;
        options.threadsAttach = false;
        PipeReader error(PipeReader::Stream::Error);
        JniHost host(options);
        NativeLibrary& library = host.load();
        library.call("initialise");
        EXPECT_TRUE(error.waitFor("failed to attach current thread to JVM\n", kArrivalMs)) << error.text();
    }
    {
        PipeReader output(PipeReader::Stream::Output);
        JniHost host;
        NativeLibrary& library = host.load();
        host.setCallback([](const CallbackCall& call) { return call.message == WM_NCCREATE ? Answer(0) : Answer(-1); });
        library.call("initialise");
        EXPECT_TRUE(output.waitFor("Failed to create window\n", kArrivalMs)) << output.text();
    }
}

TEST(Diagnostics, LinesOfTwoThreadsNeverMixWithinALine)
{
    // The hook thread writes a line for every message while a Java thread
    // writes the two-part line of a constructor that cannot be resolved.
    HostOptions options;
    options.callbackMethod = false;
    options.exceptionConstructor = false;
    PipeReader error(PipeReader::Stream::Error);
    JniHost host(options);
    NativeLibrary& library = host.load();
    library.call("initialise");
    const HWND window = waitForHookWindow();
    ASSERT_NE(nullptr, window);
    const std::string hookLine = "failed to resolve callback method\n";
    const std::string javaLine = "OvWin32AccessInterface: failed to resolve constructor" + kThrowFailureLine;
    constexpr std::size_t kLines = 200;

    std::thread sender([window] {
        for (std::size_t i = 0; i < kLines; ++i) {
            SendMessageW(window, WM_NULL, 0, 0);
        }
    });
    for (std::size_t i = 0; i < kLines; ++i) {
        library.call("readStringValue", {0, L"", L""});
    }
    sender.join();
    ASSERT_TRUE(error.waitFor(javaLine, kArrivalMs, kLines));
    ASSERT_TRUE(error.waitFor(hookLine, kArrivalMs, kLines));
    std::istringstream lines(error.text());
    for (std::string line; std::getline(lines, line);) {
        line += '\n';
        EXPECT_TRUE(line == hookLine || line == javaLine) << "mixed line: " << line;
    }
}

}  // namespace
}  // namespace vantor::jnihost
