#include "tests/support/test_support.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <sstream>

namespace vantor::testing {

std::wstring binDir()
{
    wchar_t path[4096];
    const DWORD length = GetModuleFileNameW(nullptr, path, 4096);
    std::wstring text(path, length);
    return text.substr(0, text.find_last_of(L"\\/"));
}

std::wstring binPath(const std::wstring& fileName)
{
    return binDir() + L"\\" + fileName;
}

bool fileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool directoryExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool createDirectories(const std::wstring& path)
{
    if (path.empty() || directoryExists(path)) {
        return true;
    }
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator != std::wstring::npos && separator > 2) {
        createDirectories(path.substr(0, separator));
    }
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool removeTree(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileW(path.c_str()) != FALSE;
    }
    WIN32_FIND_DATAW entry;
    const win::FindHandle find(FindFirstFileW((path + L"\\*").c_str(), &entry));
    if (find) {
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") {
                removeTree(path + L"\\" + name);
            }
        } while (FindNextFileW(find.get(), &entry));
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryW(path.c_str()) != FALSE;
}

TempDir::TempDir()
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    static LONG counter = 0;
    const LONG n = InterlockedIncrement(&counter);
    m_path = std::wstring(folder) + L"vantor-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(n) + L"-" + std::to_wstring(GetTickCount());
    removeTree(m_path);
    createDirectories(m_path);
}

TempDir::~TempDir()
{
    removeTree(m_path);
}

RegistrySandbox::RegistrySandbox()
{
    static LONG counter = 0;
    const LONG n = InterlockedIncrement(&counter);
    m_subKey = L"Software\\VantorTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(n);
    RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
    win::RegKey key;
    RegCreateKeyExW(HKEY_CURRENT_USER, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
}

RegistrySandbox::~RegistrySandbox()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
}

void RegistrySandbox::setValue(const std::wstring& name, DWORD type, const void* data, DWORD size)
{
    win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, m_subKey.c_str(), 0, KEY_SET_VALUE, key.put()));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
}

void RegistrySandbox::setString(const std::wstring& name, const std::wstring& value, DWORD type)
{
    setValue(name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

RegistryValueOverride::RegistryValueOverride(const std::wstring& key, const std::wstring& name)
    : m_key(key), m_name(name)
{
    DWORD size = 0;
    m_existed = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &m_type,
                             nullptr, &size) == ERROR_SUCCESS;
    if (m_existed) {
        m_data.resize(size);
        RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &m_type, m_data.data(),
                     &size);
    }
    remove();
}

RegistryValueOverride::~RegistryValueOverride()
{
    remove();
    if (m_existed) {
        RegSetKeyValueW(HKEY_CURRENT_USER, m_key.c_str(), m_name.c_str(), m_type, m_data.data(),
                        static_cast<DWORD>(m_data.size()));
    }
}

void RegistryValueOverride::set(const std::wstring& value)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, m_key.c_str(), m_name.c_str(), REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void RegistryValueOverride::remove()
{
    RegDeleteKeyValueW(HKEY_CURRENT_USER, m_key.c_str(), m_name.c_str());
}

std::string readFileBytes(const std::wstring& path)
{
    const win::Handle file(CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (file && ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

void writeFileBytes(const std::wstring& path, const std::string& bytes)
{
    const win::Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file) << narrow(path);
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool copyFile(const std::wstring& from, const std::wstring& to)
{
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::string unixPathOf(const std::wstring& windowsPath)
{
    using UnixFileName = char* __cdecl(const wchar_t*);
    auto* convert = reinterpret_cast<UnixFileName*>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) {
        return {};
    }
    char* converted = convert(windowsPath.c_str());
    if (converted == nullptr) {
        return {};
    }
    const win::HeapMemory owned(converted);
    return std::string(converted);
}

std::vector<std::string> readLines(const std::wstring& path)
{
    std::vector<std::string> lines;
    std::istringstream in(readFileBytes(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

namespace {

std::vector<wchar_t> environmentBlock(const std::map<std::wstring, std::wstring>& overrides)
{
    // Windows wants the block sorted case-insensitively; a map keyed by the
    // upper-case name gives that order and lets overrides replace entries.
    std::map<std::wstring, std::wstring> entries;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* p = current; *p != L'\0'; p += wcslen(p) + 1) {
        const std::wstring entry = p;
        const std::size_t equals = entry.find(L'=', 1);
        if (equals == std::wstring::npos) {
            continue;
        }
        std::wstring key = entry.substr(0, equals);
        CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
        entries[key] = entry;
    }
    FreeEnvironmentStringsW(current);
    for (const auto& [name, value] : overrides) {
        std::wstring key = name;
        CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
        entries[key] = name + L"=" + value;
    }
    std::vector<wchar_t> block;
    for (const auto& [key, entry] : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// Starts `commandLine` with the options' environment and folder. The child
// inherits handles only when `startup` hands it standard handles.
win::ProcessInformation startProcess(const std::wstring& commandLine, const ProcessOptions& options,
                                     STARTUPINFOW& startup)
{
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    std::vector<wchar_t> environment = environmentBlock(options.environment);
    const BOOL inherit = (startup.dwFlags & STARTF_USESTDHANDLES) != 0 ? TRUE : FALSE;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, inherit, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(),
                        options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str(), &startup,
                        &info)) {
        return {};
    }
    return win::ProcessInformation::adopt(info);
}

// Appends what `pipe` (may be null) holds now to `output`, without waiting.
void readAvailable(HANDLE pipe, std::string& output)
{
    DWORD available = 0;
    while (pipe != nullptr && PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[4096];
        DWORD read = 0;
        if (!ReadFile(pipe, buffer, sizeof buffer < available ? sizeof buffer : available, &read, nullptr) ||
            read == 0) {
            return;
        }
        output.append(buffer, read);
    }
}

void terminateAndWait(HANDLE process)
{
    TerminateProcess(process, 0xDEAD);
    WaitForSingleObject(process, 5000);
}

}  // namespace

ProcessResult runProcess(const std::wstring& commandLine, const ProcessOptions& options)
{
    ProcessResult result;
    win::Handle readEnd;
    win::Handle writeEnd;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (options.captureOutput) {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0);
        SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd.get();
        startup.hStdError = writeEnd.get();
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    const win::ProcessInformation child = startProcess(commandLine, options, startup);
    writeEnd.reset();  // only the child writes
    result.started = child.process.valid();
    if (!result.started) {
        return result;
    }
    const DWORD deadline = GetTickCount() + options.timeoutMs;
    for (;;) {
        readAvailable(readEnd.get(), result.output);
        if (WaitForSingleObject(child.process.get(), 20) != WAIT_TIMEOUT) {
            break;
        }
        if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
            result.timedOut = true;
            terminateAndWait(child.process.get());
            break;
        }
    }
    readAvailable(readEnd.get(), result.output);
    DWORD code = 0;
    GetExitCodeProcess(child.process.get(), &code);
    result.exitCode = code;
    return result;
}

ChildProcess::~ChildProcess()
{
    if (m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT) {
        terminateAndWait(m_process.get());
    }
}

bool ChildProcess::start(const std::wstring& commandLine, const ProcessOptions& options)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    win::ProcessInformation child = startProcess(commandLine, options, startup);
    m_id = child.processId;
    m_process = std::move(child.process);
    return m_process.valid();
}

ProcessResult ChildProcess::wait(DWORD timeoutMs)
{
    ProcessResult result;
    result.started = m_process.valid();
    if (!result.started) {
        return result;
    }
    if (WaitForSingleObject(m_process.get(), timeoutMs) == WAIT_TIMEOUT) {
        result.timedOut = true;
        terminateAndWait(m_process.get());
    }
    DWORD code = 0;
    GetExitCodeProcess(m_process.get(), &code);
    result.exitCode = code;
    return result;
}

bool waitForFile(const std::wstring& path, DWORD timeoutMs)
{
    return waitUntil([&path] { return fileExists(path); }, timeoutMs);
}

bool waitForPipe(const wchar_t* name, DWORD timeoutMs)
{
    return waitUntil([name] { return WaitNamedPipeW(name, 50) != FALSE; }, timeoutMs);
}

bool startUnixProgram(std::wstring commandLine)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    win::ProcessInformation::adopt(process);  // whatever came back is closed at once
    return true;
}

std::vector<std::string> standInFolders(const std::wstring& path)
{
    return readLines(path + L".folders");
}

void installStandIn(const std::wstring& path, const std::string& config)
{
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator != std::wstring::npos) {
        createDirectories(path.substr(0, separator));
    }
    ASSERT_TRUE(copyFile(binPath(L"stand_in.exe"), path)) << narrow(path);
    writeFileBytes(path + L".cfg", config);
    DeleteFileW((path + L".calls").c_str());
    DeleteFileW((path + L".folders").c_str());
}

std::vector<std::string> standInCalls(const std::wstring& path)
{
    return readLines(path + L".calls");
}

}  // namespace vantor::testing
