// Linked into every test program: a test program that crashes ends at once
// with a line on standard error. Left to the system, an unhandled exception
// starts the debugger, which under Wine waits with no one to answer it until
// the test's time is up, and the cause is lost.
#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI reportAndEnd(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    std::fprintf(stderr, "unhandled exception 0x%08lX at %p", static_cast<unsigned long>(record.ExceptionCode),
                 record.ExceptionAddress);
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
        std::fprintf(stderr, " (%s of %p)", record.ExceptionInformation[0] == 0   ? "read"
                                            : record.ExceptionInformation[0] == 8 ? "execution"
                                                                                  : "write",
                     reinterpret_cast<void*>(record.ExceptionInformation[1]));
    }
    std::fputs("\n", stderr);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), record.ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

const bool installed = (SetUnhandledExceptionFilter(reportAndEnd), true);

}  // namespace
