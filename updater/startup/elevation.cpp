#include "updater/startup/elevation.h"

#include "common/text/bounded_copy.h"
#include "common/text/command_line_text.h"
#include "updater/startup/installation.h"
#include "updater/startup/stored_text.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

namespace vantor {

namespace {

// Texts of this unit that are kept in two pieces (see stored_text.h).
struct ElevationTexts {
    const wchar_t* openVerb = joinStoredText(L"op", L"en");
    const wchar_t* elevationVerb = joinStoredText(L"run", L"as");
    const wchar_t* tempPrefix = joinStoredText(L"v", L"up");
    const wchar_t* needsAdminWarning =
        joinStoredText(L"Installing the update requires ", L"administrator rights. Please log on as an administrator.");
    const wchar_t* serverArgumentsAnnouncement = joinStoredText(L"Start elevated ", L"server with arguments:");
    const wchar_t* startFailedFormat = joinStoredText(L"Failed to start the elevated ", L"server, error %d");
    const wchar_t* refusedFormat = joinStoredText(L"The user refused ", L"elevation, error %d");
};

const ElevationTexts& texts()
{
    static const ElevationTexts stored;
    return stored;
}

}  // namespace

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
        log.write(L"WARNING", text::formatCut(256, texts().refusedFormat, static_cast<int>(code)));
    } else {
        const std::wstring message = text::formatCut(256, texts().startFailedFormat, static_cast<int>(code));
        MessageBoxW(nullptr, message.c_str(), nullptr, MB_OK);
        log.write(L"WARNING", message);
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

}  // namespace vantor
