#include "updater/commands/commands.h"

#include "common/text/bounded_copy.h"
#include "common/win/com.h"
#include "updater/startup/installation.h"
#include "updater/startup/path_text.h"
#include "updater/startup/process.h"

#include <windows.h>
#include <netfw.h>
#include <objbase.h>
#include <oleauto.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantor {

namespace {

// Paths handed to the shell file operation live in zero-filled buffers of
// 260 characters, so at most 259 characters each.
constexpr std::size_t kShellPathCapacity = 260;

void writeResult(wchar_t* result, std::size_t capacity, const std::wstring& text)
{
    if (result != nullptr) {
        text::copyCut(result, capacity, std::wstring_view(text));
    }
}

void writeResult(wchar_t* result, std::size_t capacity, long long number)
{
    writeResult(result, capacity, std::to_wstring(number));
}

// A path as the shell file operation wants it: the text followed by a second
// terminator. None when the path does not fit 259 characters.
std::optional<std::vector<wchar_t>> shellPathList(std::wstring_view path)
{
    if (!text::fits(path.size(), kShellPathCapacity)) {
        return std::nullopt;
    }
    std::vector<wchar_t> list(path.size() + 2, L'\0');
    path.copy(list.data(), path.size());
    return list;
}

// The long form of an existing path; the path itself when it has none.
// The shell copies a source named by its short (8.3) path under that short
// name on some systems, so the copy's source is always named by its long path.
std::vector<wchar_t> longPathList(const std::vector<wchar_t>& path)
{
    const DWORD needed = GetLongPathNameW(path.data(), nullptr, 0);
    if (needed == 0) {
        return path;
    }
    std::vector<wchar_t> list(needed + 2, L'\0');
    const DWORD length = GetLongPathNameW(path.data(), list.data(), needed);
    if (length == 0 || length >= needed) {
        return path;
    }
    return list;
}

// Creates the object registered as `progId`, runs it and asks it for
// `Interface`. On failure returns the code of the failing step: a missing
// interface counts as an unregistered class.
template <typename Interface>
HRESULT createFirewallObject(const wchar_t* progId, win::ComPtr<Interface>& object)
{
    CLSID classId{};
    HRESULT result = CLSIDFromProgID(progId, &classId);
    win::ComPtr<IUnknown> unknown;
    if (SUCCEEDED(result)) {
        result = CoCreateInstance(classId, nullptr, CLSCTX_ALL, IID_IUnknown, win::putVoid(unknown));
    }
    if (SUCCEEDED(result)) {
        result = OleRun(unknown.get());
    }
    if (SUCCEEDED(result)) {
        result = unknown.get()->QueryInterface(__uuidof(Interface), win::putVoid(object));
    }
    if (SUCCEEDED(result) && object.get() != nullptr) {
        return S_OK;
    }
    if (SUCCEEDED(result) || result == E_NOINTERFACE) {
        return REGDB_E_CLASSNOTREG;
    }
    return result;
}

HRESULT addAuthorisedApplication(const wchar_t* imagePath, const wchar_t* name)
{
    win::ComPtr<INetFwMgr> manager;
    HRESULT result = createFirewallObject(L"HNetCfg.FwMgr", manager);
    if (FAILED(result)) {
        return result;
    }
    win::ComPtr<INetFwAuthorizedApplication> application;
    result = createFirewallObject(L"HNetCfg.FwAuthorizedApplication", application);
    if (FAILED(result)) {
        return result;
    }

    const win::ComString image(SysAllocString(imagePath));
    const win::ComString applicationName(SysAllocString(name));
    if (!image || !applicationName) {
        return E_OUTOFMEMORY;
    }
    result = application.get()->put_ProcessImageFileName(image.get());
    if (SUCCEEDED(result)) {
        result = application.get()->put_Name(applicationName.get());
    }
    if (SUCCEEDED(result)) {
        result = application.get()->put_Scope(NET_FW_SCOPE_ALL);
    }
    if (SUCCEEDED(result)) {
        result = application.get()->put_IpVersion(NET_FW_IP_VERSION_ANY);
    }
    if (SUCCEEDED(result)) {
        result = application.get()->put_Enabled(VARIANT_TRUE);
    }
    if (FAILED(result)) {
        return result;
    }

    win::ComPtr<INetFwPolicy> policy;
    win::ComPtr<INetFwProfile> profile;
    win::ComPtr<INetFwAuthorizedApplications> applications;
    result = manager.get()->get_LocalPolicy(policy.put());
    if (SUCCEEDED(result)) {
        result = policy.get()->get_CurrentProfile(profile.put());
    }
    if (SUCCEEDED(result)) {
        result = profile.get()->get_AuthorizedApplications(applications.put());
    }
    if (SUCCEEDED(result)) {
        result = applications.get()->Add(application.get());
    }
    return FAILED(result) ? result : S_OK;
}

}  // namespace

CommandWithOneArg::CommandWithOneArg(std::wstring_view argument)
{
    m_accepted = text::copyWhole(m_argument, kCommandArgumentCapacity, argument);
}

bool CommandWithOneArg::serialize(wchar_t* buffer, std::size_t capacity, std::size_t& length) const
{
    return m_accepted && composeWireText(name(), m_argument, buffer, capacity, length);
}

void CommandWithOneArg::describe(std::wstring& text) const
{
    text += name();
    text += L':';
    text += m_argument;
}

bool CommandWithOneArg::refuseOverLongArgument(wchar_t* result, std::size_t capacity, DiagnosticsLog& log) const
{
    if (m_accepted) {
        return false;
    }
    writeResult(result, capacity, static_cast<long long>(ERROR_FILENAME_EXCED_RANGE));
    log.write(L"ERROR", std::wstring(L"Argument too long, ") + name() + L" not executed");
    return true;
}

const wchar_t* ExecuteProcessCommand::name() const
{
    return commandIdentifier(CommandKind::ExecuteProcess);
}

void ExecuteProcessCommand::execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log)
{
    if (refuseOverLongArgument(result, capacity, log)) {
        return;
    }
    const int status = runAndWait(argument(), false, nullptr, nullptr, log);
    writeResult(result, capacity, status);
}

const wchar_t* FirewallAdd::name() const
{
    return commandIdentifier(CommandKind::FirewallAdd);
}

void FirewallAdd::execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log)
{
    if (refuseOverLongArgument(result, capacity, log)) {
        return;
    }
    const std::wstring fileName = fileNameOf(argument());
    log.write(L"INFO", L"Firewall add, fileName: " + fileName + L" path:" + argument());
    // The firewall objects need COM on this thread; nothing else in the
    // server sets it up.
    const win::ComApartment apartment;
    const HRESULT code = addAuthorisedApplication(argument(), fileName.c_str());
    writeResult(result, capacity, static_cast<long long>(static_cast<std::int32_t>(code)));
}

const wchar_t* CopyCommand::name() const
{
    return commandIdentifier(CommandKind::Copy);
}

void CopyCommand::execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log)
{
    if (refuseOverLongArgument(result, capacity, log)) {
        return;
    }
    const auto fail = [&](int code) {
        writeResult(result, capacity, code);
        log.write(L"INFO", L"Error copy file, err: " + std::to_wstring(code));
    };
    const std::optional<CopyPaths> paths = splitCopyArgument(argument());
    if (!paths) {
        fail(ERROR_INVALID_PARAMETER);  // no destination: nothing to do
        return;
    }
    const std::optional<std::vector<wchar_t>> source = shellPathList(paths->source);
    const std::optional<std::vector<wchar_t>> destination = shellPathList(paths->destination);
    if (!source || !destination) {
        fail(ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    log.write(L"INFO", L"Copy '" + std::wstring(paths->source) + L"' to '" + std::wstring(paths->destination) + L"'");

    SHCreateDirectoryExW(nullptr, destination->data(), nullptr);

    std::vector<wchar_t> from = longPathList(*source);
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = nullptr;
    operation.wFunc = FO_COPY;
    operation.pFrom = from.data();
    operation.pTo = destination->data();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | FOF_NOCOPYSECURITYATTRIBS;
    operation.lpszProgressTitle = L"";
    const int code = SHFileOperationW(&operation);
    if (code != 0) {
        fail(code);
    }
}

const wchar_t* DeleteCommand::name() const
{
    return commandIdentifier(CommandKind::Delete);
}

void DeleteCommand::execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log)
{
    if (refuseOverLongArgument(result, capacity, log)) {
        return;
    }
    const auto fail = [&](int code) {
        writeResult(result, capacity, code);
        log.write(L"INFO", L"Error delete file, err: " + std::to_wstring(code));
    };
    std::optional<std::vector<wchar_t>> path = shellPathList(argument());
    if (!path) {
        fail(ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    log.write(L"INFO", std::wstring(L"Delete ") + argument());

    SHFILEOPSTRUCTW operation{};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = path->data();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCOPYSECURITYATTRIBS;
    operation.lpszProgressTitle = nullptr;
    const int code = SHFileOperationW(&operation);
    if (code != 0) {
        fail(code);
    }
}

const wchar_t* CreateFolderCommand::name() const
{
    return commandIdentifier(CommandKind::CreateFolder);
}

void CreateFolderCommand::execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log)
{
    if (refuseOverLongArgument(result, capacity, log)) {
        return;
    }
    log.write(L"INFO", std::wstring(L"Create directory ") + argument());
    const DWORD attributes = GetFileAttributesW(argument());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        log.write(L"INFO", L"Folder exist already");
        return;
    }
    // The function returns the Windows error code itself; the thread's last
    // error is not reliably set by it, and a zero there would read as success.
    const int code = SHCreateDirectory(nullptr, argument());
    if (code != ERROR_SUCCESS) {
        writeResult(result, capacity, code);
        log.write(L"ERROR", std::wstring(L"Can't create folder '") + argument() + L"', error code=" +
                                std::to_wstring(code));
    }
}

const wchar_t* TestOnWriteCommand::name() const
{
    return commandIdentifier(CommandKind::TestOnWrite);
}

void TestOnWriteCommand::execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log)
{
    if (refuseOverLongArgument(result, capacity, log)) {
        return;
    }
    log.write(L"INFO", std::wstring(L"Test on write ") + argument());
    if (canWriteToFolder(argument())) {
        log.write(L"INFO", L"OK");
        writeResult(result, capacity, L"0");
    } else {
        log.write(L"INFO", L"FAIL");
        writeResult(result, capacity, L"1");
    }
}

std::unique_ptr<Command> CommandFactory::create(const wchar_t* text, std::size_t byteLength) const
{
    if (text == nullptr) {
        return nullptr;
    }
    const std::optional<RecognisedCommand> recognised =
        acceptReceivedCommand(std::wstring_view(text, byteLength / sizeof(wchar_t)));
    if (!recognised) {
        return nullptr;
    }
    switch (recognised->kind) {
    case CommandKind::ExecuteProcess: return std::make_unique<ExecuteProcessCommand>(recognised->argument);
    case CommandKind::FirewallAdd: return std::make_unique<FirewallAdd>(recognised->argument);
    case CommandKind::Copy: return std::make_unique<CopyCommand>(recognised->argument);
    case CommandKind::Delete: return std::make_unique<DeleteCommand>(recognised->argument);
    case CommandKind::CreateFolder: return std::make_unique<CreateFolderCommand>(recognised->argument);
    case CommandKind::TestOnWrite: return std::make_unique<TestOnWriteCommand>(recognised->argument);
    }
    return nullptr;
}

}  // namespace vantor
