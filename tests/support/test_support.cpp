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

std::wstring widen(const std::string& utf8)
{
    if (utf8.empty()) {
        return {};
    }
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

std::string narrow(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
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
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") {
                removeTree(path + L"\\" + name);
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
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
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (key) {
        RegCloseKey(key);
    }
}

RegistrySandbox::~RegistrySandbox()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
}

void RegistrySandbox::setValue(const std::wstring& name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, m_subKey.c_str(), 0, KEY_SET_VALUE, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(key);
}

void RegistrySandbox::setString(const std::wstring& name, const std::wstring& value, DWORD type)
{
    setValue(name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::string readFileBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

void writeFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << narrow(path);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

bool copyFile(const std::wstring& from, const std::wstring& to)
{
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
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

}  // namespace

ProcessResult runProcess(const std::wstring& commandLine, const ProcessOptions& options)
{
    ProcessResult result;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (options.captureOutput) {
        CreatePipe(&readEnd, &writeEnd, &inheritable, 0);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (options.captureOutput) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    std::vector<wchar_t> environment = environmentBlock(options.environment);
    PROCESS_INFORMATION info{};
    result.started =
        CreateProcessW(nullptr, writable.data(), nullptr, nullptr, options.captureOutput ? TRUE : FALSE,
                       CREATE_UNICODE_ENVIRONMENT, environment.data(),
                       options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str(), &startup, &info) !=
        FALSE;
    if (writeEnd) {
        CloseHandle(writeEnd);
    }
    if (!result.started) {
        if (readEnd) {
            CloseHandle(readEnd);
        }
        return result;
    }
    const DWORD deadline = GetTickCount() + options.timeoutMs;
    for (;;) {
        if (readEnd) {
            DWORD available = 0;
            while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
                char buffer[4096];
                DWORD read = 0;
                if (!ReadFile(readEnd, buffer, sizeof buffer < available ? sizeof buffer : available, &read, nullptr) ||
                    read == 0) {
                    break;
                }
                result.output.append(buffer, read);
            }
        }
        const DWORD wait = WaitForSingleObject(info.hProcess, 20);
        if (wait != WAIT_TIMEOUT) {
            break;
        }
        if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
            result.timedOut = true;
            TerminateProcess(info.hProcess, 0xDEAD);
            WaitForSingleObject(info.hProcess, 5000);
            break;
        }
    }
    if (readEnd) {
        DWORD available = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            char buffer[4096];
            DWORD read = 0;
            if (!ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) || read == 0) {
                break;
            }
            result.output.append(buffer, read);
        }
        CloseHandle(readEnd);
    }
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    result.exitCode = code;
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return result;
}

ChildProcess::~ChildProcess()
{
    if (m_process != nullptr) {
        if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process, 0xDEAD);
            WaitForSingleObject(m_process, 5000);
        }
        CloseHandle(m_process);
    }
}

bool ChildProcess::start(const std::wstring& commandLine, const ProcessOptions& options)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    std::vector<wchar_t> environment = environmentBlock(options.environment);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(),
                        options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str(), &startup,
                        &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_id = info.dwProcessId;
    return true;
}

ProcessResult ChildProcess::wait(DWORD timeoutMs)
{
    ProcessResult result;
    result.started = m_process != nullptr;
    if (!result.started) {
        return result;
    }
    if (WaitForSingleObject(m_process, timeoutMs) == WAIT_TIMEOUT) {
        result.timedOut = true;
        TerminateProcess(m_process, 0xDEAD);
        WaitForSingleObject(m_process, 5000);
    }
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    result.exitCode = code;
    return result;
}

bool waitForFile(const std::wstring& path, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!fileExists(path)) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(50);
    }
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
