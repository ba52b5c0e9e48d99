#include "updater/startup/process.h"

#include "common/text/bounded_copy.h"
#include "common/text/command_line_text.h"
#include "updater/startup/path_text.h"
#include "updater/startup/stored_text.h"
#include "updater/startup/version_api.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
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
    const wchar_t* elevationVerb = joinStoredText(L"run", L"as");
    const wchar_t* tempPrefix = joinStoredText(L"v", L"up");
    const wchar_t* needsAdminWarning =
        joinStoredText(L"Installing the update requires ", L"administrator rights. Please log on as an administrator.");
    const wchar_t* serverArgumentsAnnouncement = joinStoredText(L"Start elevated ", L"server with arguments:");
    const wchar_t* startFailedFormat = joinStoredText(L"Failed to start the elevated ", L"server, error %d");
    const wchar_t* refusedFormat = joinStoredText(L"The user refused ", L"elevation, error %d");
    const wchar_t* probeFileFormat = joinStoredText(L"%ls\\", L"vup%ls.tmp");
};

const LaunchTexts& texts()
{
    static const LaunchTexts stored;
    return stored;
}

// swprintf into a buffer of `capacity` characters; a longer text is cut.
template <typename... Args>
std::wstring formatCut(std::size_t capacity, const wchar_t* format, Args... args)
{
    std::vector<wchar_t> buffer(capacity, L'\0');
    const int n = std::swprintf(buffer.data(), capacity, format, args...);
    if (n < 0) {
        // C99 swprintf reports truncation as a failure; keep what it wrote.
        buffer[capacity - 1] = L'\0';
    }
    return std::wstring(buffer.data());
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
        log.write(L"INFO", formatCut(256, texts().exitStatusFormat, status));
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
        log->write(L"INFO", formatCut(1024, texts().detachedFormat, path.c_str(), L"/noupdate"));
    }
    ShellExecuteW(GetDesktopWindow(), texts().openVerb, path.c_str(), L"/noupdate", nullptr, SW_SHOWNORMAL);
}

SystemVersion systemVersion()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) {
        return {};
    }
    return SystemVersion{info.dwMajorVersion, info.dwPlatformId};
}

bool startElevatedServer(DiagnosticsLog& log, const std::wstring& arguments, win::Handle* serverProcess)
{
    std::wstring file = ownShortPath(260);
    const bool beforeVista = systemVersion().major < 6;

    if (beforeVista) {
        // Without an elevation prompt the copy runs from a fresh temporary
        // folder, so that the installed file can be replaced while it runs.
        wchar_t tempFolder[260];
        wchar_t uniqueName[260];
        const DWORD length = GetTempPathW(260, tempFolder);
        if (length > 0 && length < 260 && GetTempFileNameW(tempFolder, texts().tempPrefix, 0, uniqueName) != 0) {
            DeleteFileW(uniqueName);
            SHCreateDirectory(nullptr, uniqueName);
            const std::wstring target = std::wstring(uniqueName) + L"/" + ownLongFileName();
            if (copyFileBytes(file, target)) {
                file = target;
            }
        }
    }

    const bool administrator = beforeVista && isUserAdministrator();
    if (beforeVista && !administrator) {
        MessageBoxW(nullptr, texts().needsAdminWarning, nullptr, MB_ICONWARNING | MB_OK);
    }
    const wchar_t* verb = administrator ? texts().openVerb : texts().elevationVerb;

    const std::wstring parameters = arguments + L" /logPath " + text::quoteArgument(log.filePath());

    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
    execute.hwnd = nullptr;
    execute.lpVerb = verb;
    execute.lpFile = file.c_str();
    execute.lpParameters = parameters.c_str();
    execute.lpDirectory = nullptr;
    execute.nShow = SW_SHOWNORMAL;

    log.write(L"INFO", texts().serverArgumentsAnnouncement);
    log.write(L"INFO", parameters);

    if (ShellExecuteExW(&execute)) {
        win::Handle process(execute.hProcess);
        if (serverProcess != nullptr) {
            *serverProcess = std::move(process);
        }
        return true;
    }

    DWORD code = GetLastError();
    if (code == ERROR_SUCCESS) {
        // The shell's own error message (shown because the mask does not ask
        // for silence) can leave the last error cleared; its result code
        // still says why the start failed (SE_ERR_FNF is ERROR_FILE_NOT_FOUND,
        // and so on).
        const auto result = reinterpret_cast<INT_PTR>(execute.hInstApp);
        code = result > 0 && result <= 32 ? static_cast<DWORD>(result) : ERROR_GEN_FAILURE;
    }
    if (code == ERROR_CANCELLED) {
        log.write(L"WARNING", formatCut(256, texts().refusedFormat, static_cast<int>(code)));
    } else {
        const std::wstring text = formatCut(256, texts().startFailedFormat, static_cast<int>(code));
        MessageBoxW(nullptr, text.c_str(), nullptr, MB_OK);
        log.write(L"WARNING", text);
    }
    return false;
}

bool isUserAdministrator()
{
    if (systemVersion().platform != VER_PLATFORM_WIN32_NT) {
        return true;
    }
    win::Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return false;
    }
    DWORD size = 0;
    if (GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return false;
    }
    std::vector<BYTE> buffer(size, 0);
    if (!GetTokenInformation(token.get(), TokenGroups, buffer.data(), size, &size)) {
        return false;
    }

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &administrators)) {
        return false;
    }
    bool member = false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount && !member; ++i) {
        member = EqualSid(groups->Groups[i].Sid, administrators) != FALSE;
    }
    FreeSid(administrators);
    return member;
}

bool copyFileBytes(const std::wstring& source, const std::wstring& destination)
{
    win::Handle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in) {
        return false;
    }
    win::Handle out(CreateFileW(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!out) {
        return false;
    }
    char block[4096];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in.get(), block, sizeof block, &read, nullptr)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        DWORD written = 0;
        if (!WriteFile(out.get(), block, read, &written, nullptr) || written != read) {
            return false;
        }
    }
}

std::wstring newGuidText()
{
    GUID guid{};
    wchar_t text[256] = {};
    if (FAILED(CoCreateGuid(&guid)) || StringFromGUID2(guid, text, 256) == 0) {
        return {};
    }
    std::wstring result(text);
    if (!result.empty() && result.back() == L'}') {
        result.pop_back();
    }
    if (!result.empty() && result.front() == L'{') {
        result.erase(0, 1);
    }
    return result;
}

bool canWriteToFolder(const std::wstring& folder)
{
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    const bool isDirectory = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!isDirectory && SHCreateDirectory(nullptr, folder.c_str()) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring guid = newGuidText();
    wchar_t probe[260];
    if (std::swprintf(probe, 260, texts().probeFileFormat, folder.c_str(), guid.c_str()) < 0) {
        return false;  // the probe's name does not fit
    }
    win::Handle file(CreateFileW(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) {
        return false;
    }
    file.reset();
    DeleteFileW(probe);
    return true;
}

ProductVersion readProductVersion(const std::wstring& path)
{
    const VersionApi& api = versionApi();
    if (!api.loaded()) {
        return {};
    }
    DWORD ignored = 0;
    const DWORD size = api.getFileVersionInfoSize(path.c_str(), &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<BYTE> data(size, 0);
    if (!api.getFileVersionInfo(path.c_str(), 0, size, data.data())) {
        return {};
    }
    void* block = nullptr;
    UINT length = 0;
    if (!api.verQueryValue(data.data(), L"\\", &block, &length) || block == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return {};
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    return ProductVersion::fromWords(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
}

bool isNewerThanInstalled(const std::wstring& installed)
{
    return isNewer(readProductVersion(ownShortPath(260)), readProductVersion(installed));
}

std::wstring readInstallExecPath(const std::wstring& subkey)
{
    constexpr std::size_t kOutputCapacity = 1024;
    win::RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return {};
    }
    // Room for 1,024 bytes of data and a terminator that the value may lack.
    wchar_t data[512 + 1] = {};
    DWORD type = 0;
    DWORD size = 1024;
    if (RegQueryValueExW(key.get(), L"exec", nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
        return {};
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_BINARY && type != REG_MULTI_SZ) {
        return {};
    }
    std::wstring text(data, text::boundedLength(data, size / sizeof(wchar_t)));
    if (type == REG_EXPAND_SZ) {
        wchar_t expanded[kOutputCapacity];
        const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), expanded, kOutputCapacity);
        if (needed == 0 || needed > kOutputCapacity) {
            return {};  // a cut path would name the wrong program
        }
        text.assign(expanded);
    }
    if (!text::fits(text.size(), kOutputCapacity)) {
        return {};
    }
    return text;
}

std::wstring appDataFolder()
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return {};
    }
    return folder;
}

namespace {

// The module path as read into a buffer of `capacity` characters; empty when
// it does not fit (GetModuleFileNameW then returns the full buffer).
std::wstring modulePath(DWORD capacity)
{
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), capacity);
    if (length == 0 || length >= capacity) {
        return {};
    }
    return std::wstring(buffer.data(), length);
}

}  // namespace

std::wstring ownShortPath(std::size_t capacity)
{
    const std::wstring path = modulePath(1000);
    if (path.empty() || capacity == 0) {
        return {};
    }
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(capacity));
    if (length > 0 && length < capacity) {
        return std::wstring(buffer.data(), length);
    }
    // Without a short form the long one serves, if it fits.
    return text::fits(path.size(), capacity) ? path : std::wstring();
}

std::wstring ownLongFileName()
{
    const std::wstring path = modulePath(2048);
    if (path.empty()) {
        return {};
    }
    wchar_t longPath[2048];
    const DWORD length = GetLongPathNameW(path.c_str(), longPath, 2048);
    if (length == 0 || length >= 2048) {
        return fileNameOf(path);
    }
    return fileNameOf(std::wstring(longPath, length));
}

}  // namespace vantor
