// Helpers for tests that run under Wine against the real registry, real
// files and real processes.
#pragma once

#include "common/win/unique_handle.h"
#include "tests/support/utf8.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vantor::testing {

// Folder of the running test program; the deliverables and the fixture
// programs are built into the same folder.
std::wstring binDir();
std::wstring binPath(const std::wstring& fileName);

// A fresh folder under the temporary folder, removed with everything in it
// when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// A registry key of its own under HKEY_CURRENT_USER\Software\VantorTests,
// removed before use and afterwards.
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Sub-key path relative to HKEY_CURRENT_USER.
    const std::wstring& subKey() const { return m_subKey; }
    void setValue(const std::wstring& name, DWORD type, const void* data, DWORD size);
    void setString(const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ);

private:
    std::wstring m_subKey;
};

// Takes HKEY_CURRENT_USER\<key> <name> away for the object's life (set()
// gives it a text) and puts back what was there before.
class RegistryValueOverride {
public:
    RegistryValueOverride(const std::wstring& key, const std::wstring& name);
    ~RegistryValueOverride();
    RegistryValueOverride(const RegistryValueOverride&) = delete;
    RegistryValueOverride& operator=(const RegistryValueOverride&) = delete;

    void set(const std::wstring& value);
    void remove();

private:
    std::wstring m_key;
    std::wstring m_name;
    bool m_existed = false;
    DWORD m_type = 0;
    std::vector<BYTE> m_data;
};

// Removes a folder and everything below it; true when it is gone.
bool removeTree(const std::wstring& path);
bool createDirectories(const std::wstring& path);
bool fileExists(const std::wstring& path);
bool directoryExists(const std::wstring& path);

std::string readFileBytes(const std::wstring& path);
void writeFileBytes(const std::wstring& path, const std::string& bytes);
bool copyFile(const std::wstring& from, const std::wstring& to);

// The Unix path that Wine gives a Windows path; empty when not under Wine.
std::string unixPathOf(const std::wstring& windowsPath);

// Lines of a text file (CR LF or LF), without their line ends.
std::vector<std::string> readLines(const std::wstring& path);

struct ProcessResult {
    bool started = false;
    std::uint32_t exitCode = 0;  // the full 32-bit code
    bool timedOut = false;
    std::string output;          // standard output and error
};

struct ProcessOptions {
    std::wstring currentDirectory;                   // empty: the test's own
    std::map<std::wstring, std::wstring> environment;  // added to or replacing the test's own
    DWORD timeoutMs = 60000;
    bool captureOutput = false;
};

// Starts `commandLine` and waits for it; a process still running at the
// time-out is terminated and reported as timed out.
ProcessResult runProcess(const std::wstring& commandLine, const ProcessOptions& options = {});

// A process started without waiting for it; terminated if still running when
// the object goes.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `commandLine` like runProcess (options' environment and folder;
    // output is not captured). False when it could not be started.
    bool start(const std::wstring& commandLine, const ProcessOptions& options = {});
    // Waits at most `timeoutMs`; a process still running then is terminated
    // and reported as timed out. The full 32-bit exit code.
    ProcessResult wait(DWORD timeoutMs = 60000);
    DWORD id() const { return m_id; }
    HANDLE handle() const { return m_process.get(); }

private:
    win::Handle m_process;
    DWORD m_id = 0;
};

// The stand-in program copied to `path` and configured by `<path>.cfg` (see
// tests/fixtures/stand_in.cpp for the keys).
void installStandIn(const std::wstring& path, const std::string& config = {});

// The command lines that the stand-in at `path` was started with, in order.
std::vector<std::string> standInCalls(const std::wstring& path);

// The current folders of those starts (when configured with record_folder=1).
std::vector<std::string> standInFolders(const std::wstring& path);

// Asks `ready()` every 50 ms for up to `timeoutMs`; true as soon as it
// answers true.
template <typename Ready>
bool waitUntil(Ready&& ready, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!ready()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

// Waits up to `timeoutMs` until `path` exists (as a file); true when it does.
bool waitForFile(const std::wstring& path, DWORD timeoutMs);

// Waits up to `timeoutMs` until a server offers the pipe `name` to a client;
// true when one does.
bool waitForPipe(const wchar_t* name, DWORD timeoutMs);

// Starts a program of the Unix side (its command line names it by a Windows
// path, see windowsPathOfUnixPath) without handing it any handle. Wine gives
// no usable process handle for such a program, so there is nothing to wait
// on: false, with the thread's last error, when it could not be started.
bool startUnixProgram(std::wstring commandLine);

}  // namespace vantor::testing
