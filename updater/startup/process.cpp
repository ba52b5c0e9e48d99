#include "updater/startup/process.h"

#include "common/text/bounded_copy.h"
#include "common/win/unique_handle.h"
#include "updater/startup/stored_text.h"

#include <shellapi.h>

#include <vector>

namespace vantor {

namespace {

// Texts of this unit that are kept in two pieces (see stored_text.h).
struct LaunchTexts {
    const wchar_t* startAnnouncement = joinStoredText(L"Start process and ", L"wait for its end:");
    const wchar_t* endAnnouncement = joinStoredText(L"Process ended, ", L"wait is over:");
    const wchar_t* exitStatusFormat = joinStoredText(L"Process exit ", L"status: %d");
    const wchar_t* detachedFormat = joinStoredText(L"Launch without waiting: ", L"%ls %ls");
    const wchar_t* openVerb = joinStoredText(L"op", L"en");
};

const LaunchTexts& texts()
{
    static const LaunchTexts stored;
    return stored;
}

// Reads what the program has written so far without ever blocking, keeping
// the first 255 bytes and discarding the rest.
class OutputDrain {
public:
    OutputDrain(HANDLE pipe, CapturedOutput& kept) : m_pipe(pipe), m_kept(kept) {}

    void pump()
    {
        for (;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(m_pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) {
                return;
            }
            char chunk[4096];
            DWORD read = 0;
            const DWORD wanted = available < sizeof chunk ? available : static_cast<DWORD>(sizeof chunk);
            if (!ReadFile(m_pipe, chunk, wanted, &read, nullptr) || read == 0) {
                return;
            }
            for (DWORD i = 0; i < read && m_count < m_kept.size() - 1; ++i) {
                m_kept[m_count++] = chunk[i];
            }
        }
    }

private:
    HANDLE m_pipe;
    CapturedOutput& m_kept;
    std::size_t m_count = 0;
};

int runProcess(const std::wstring& commandLine, bool hidden, HANDLE input, HANDLE output, DiagnosticsLog& log,
               OutputDrain* drain)
{
    int status = kStatusNotStarted;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = static_cast<WORD>(hidden ? SW_HIDE : SW_SHOWDEFAULT);
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;

    log.write(L"INFO", texts().startAnnouncement);
    log.write(L"INFO", commandLine);

    // CreateProcessW may write into its command line.
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    PROCESS_INFORMATION info{};
    if (CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        win::ProcessInformation process = win::ProcessInformation::adopt(info);
        Sleep(200);
        if (drain != nullptr) {
            while (WaitForSingleObject(process.process.get(), 20) == WAIT_TIMEOUT) {
                drain->pump();
            }
            drain->pump();
        } else {
            WaitForSingleObject(process.process.get(), INFINITE);
        }
        log.write(L"INFO", texts().endAnnouncement);
        log.write(L"INFO", commandLine);

        DWORD exitCode = 0;
        if (!GetExitCodeProcess(process.process.get(), &exitCode)) {
            status = kStatusExitCodeUnreadable;
        } else if (exitCode == STILL_ACTIVE) {
            TerminateProcess(process.process.get(), 0xFFFFFFFF);
            status = kStatusStillActive;
        } else {
            status = static_cast<int>(exitCode);
        }
    }

    if (status != 0) {
        log.write(L"INFO", text::formatCut(256, texts().exitStatusFormat, status));
    }
    return status;
}

}  // namespace

int runAndWait(const std::wstring& commandLine, bool hidden, HANDLE input, HANDLE output, DiagnosticsLog& log)
{
    return runProcess(commandLine, hidden, input, output, log, nullptr);
}

int runAndCapture(const std::wstring& commandLine, CapturedOutput& output, DiagnosticsLog& log)
{
    output.fill('\0');

    SECURITY_ATTRIBUTES inheritable{};
    inheritable.nLength = sizeof inheritable;
    inheritable.bInheritHandle = TRUE;
    win::Handle readEnd;
    win::Handle writeEnd;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0)) {
        return runProcess(commandLine, true, nullptr, nullptr, log, nullptr);
    }
    // Only the child's end is inherited.
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    CapturedOutput kept{};
    OutputDrain drain(readEnd.get(), kept);
    const int status = runProcess(commandLine, true, nullptr, writeEnd.get(), log, &drain);
    writeEnd.reset();
    drain.pump();
    if (status == 0) {
        output = kept;
    }
    return status;
}

void launchDetached(const std::wstring& path, DiagnosticsLog* log)
{
    if (log != nullptr) {
        log->write(L"INFO", text::formatCut(1024, texts().detachedFormat, path.c_str(), L"/noupdate"));
    }
    ShellExecuteW(GetDesktopWindow(), texts().openVerb, path.c_str(), L"/noupdate", nullptr, SW_SHOWNORMAL);
}

}  // namespace vantor
