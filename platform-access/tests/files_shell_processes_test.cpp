// Files, shell and processes through the JNI host, against real files,
// real processes and real mutexes under Wine.
#include "platform-access/tests/host/jni_host.h"
#include "tests/support/test_support.h"

#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace vantor::jnihost {
namespace {

using testing::binPath;
using testing::directoryExists;
using testing::fileExists;
using testing::installStandIn;
using testing::readLines;
using testing::standInCalls;
using testing::TempDir;
using testing::writeFileBytes;

// A path of exactly `length` characters that names nothing.
std::wstring pathOfLength(std::size_t length)
{
    std::wstring path = L"c:\\missing-";
    path.resize(length, L'x');
    return path;
}

std::wstring unique(const std::wstring& stem)
{
    static LONG counter = 0;
    return stem + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(InterlockedIncrement(&counter)) +
           L"-" + std::to_wstring(GetTickCount());
}

// Waits until no process runs the program file `fileName` (programs that the
// library started without handing back a handle), so that the test's folder
// can be removed.
void waitForProgramsNamed(const std::wstring& fileName)
{
    for (int round = 0; round < 600; ++round) {
        bool running = false;
        const win::Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        ASSERT_TRUE(snapshot);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
            if (lstrcmpiW(entry.szExeFile, fileName.c_str()) == 0) {
                running = true;
                const win::Handle process(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
                if (process) {
                    WaitForSingleObject(process.get(), 100);
                }
            }
        }
        if (!running) {
            return;
        }
    }
    FAIL() << "still running: " << narrow(fileName);
}

// Closes the shell's message boxes in this process while it lives: the shell
// reports a start that fails in a box of its own before it returns.
class MessageBoxCloser {
public:
    MessageBoxCloser()
        : m_thread([this] {
              while (!m_stop) {
                  EnumWindows(closeIfOurs, reinterpret_cast<LPARAM>(&m_closed));
                  Sleep(50);
              }
          })
    {
    }
    ~MessageBoxCloser()
    {
        m_stop = true;
        m_thread.join();
    }
    int closed() const { return m_closed; }

private:
    static BOOL CALLBACK closeIfOurs(HWND window, LPARAM closed)
    {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (process == GetCurrentProcessId() && IsWindowVisible(window) && lstrcmpW(className, L"#32770") == 0) {
            PostMessageW(window, WM_CLOSE, 0, 0);
            ++*reinterpret_cast<std::atomic<int>*>(closed);
        }
        return TRUE;
    }

    std::atomic<bool> m_stop{false};
    std::atomic<int> m_closed{0};
    std::thread m_thread;
};

class FilesShellProcesses : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_library = &m_host.load();
        ASSERT_TRUE(threwNothing(m_library->call("initialise")));
    }

    CallResult call(const std::string& method, const std::vector<Arg>& args = {})
    {
        return m_library->call(method, args);
    }

    std::wstring createFile(const std::wstring& name, const std::string& bytes = "text")
    {
        const std::wstring path = m_folder / name;
        writeFileBytes(path, bytes);
        return path;
    }

    JniHost m_host;
    NativeLibrary* m_library = nullptr;
    TempDir m_folder;
};

// --- attributes ----------------------------------------------------------------

TEST_F(FilesShellProcesses, AttributesOfFilesFoldersAndMissingPaths)
{
    const std::wstring file = createFile(L"plain.txt");
    CallResult result = call("getFileAttributes", {file});
    ASSERT_TRUE(threwNothing(result));
    EXPECT_EQ(static_cast<std::int32_t>(GetFileAttributesW(file.c_str())), result.value.intValue());
    EXPECT_EQ(0, result.value.intValue() & FILE_ATTRIBUTE_DIRECTORY);

    result = call("getFileAttributes", {m_folder.path()});
    EXPECT_NE(0, result.value.intValue() & FILE_ATTRIBUTE_DIRECTORY);

    result = call("getFileAttributes", {m_folder / L"missing.txt"});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofInt(-1), result.value);
}

TEST_F(FilesShellProcesses, SetAttributesAndReadThemBack)
{
    const std::wstring file = createFile(L"kept.txt");
    CallResult result = call("setFileAttributes", {file, FILE_ATTRIBUTE_READONLY});
    ASSERT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofBoolean(true), result.value);
    EXPECT_NE(0u, GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0, call("getFileAttributes", {file}).value.intValue() & FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(Value::ofBoolean(true), call("setFileAttributes", {file, FILE_ATTRIBUTE_NORMAL}).value);
    EXPECT_EQ(0u, GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY);

    result = call("setFileAttributes", {m_folder / L"missing.txt", FILE_ATTRIBUTE_READONLY});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofBoolean(false), result.value);
}

TEST_F(FilesShellProcesses, AttributePathLimitIs5191Characters)
{
    CallResult result = call("getFileAttributes", {pathOfLength(5191)});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofInt(-1), result.value);
    EXPECT_TRUE(threwNothing(call("setFileAttributes", {pathOfLength(5191), 0})));
    EXPECT_TRUE(threwNothing(call("getFileInfo", {pathOfLength(5191)})));

    result = call("getFileAttributes", {pathOfLength(5192)});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    EXPECT_EQ(Value::ofInt(-1), result.value);
    result = call("setFileAttributes", {pathOfLength(5192), 0});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    EXPECT_EQ(Value::ofBoolean(false), result.value);
    // The map comes back empty, with the exception.
    result = call("getFileInfo", {pathOfLength(5192)});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    ASSERT_EQ(Value::Kind::HashMap, result.value.kind());
    EXPECT_TRUE(result.value.entries().empty());
}

// --- version numbers -------------------------------------------------------------

TEST_F(FilesShellProcesses, FileInfoGivesTheProductVersionInFourIntegers)
{
    CallResult result = call("getFileInfo", {binPath(L"version_fixture_1234.exe")});
    ASSERT_TRUE(threwNothing(result));
    ASSERT_EQ(Value::Kind::HashMap, result.value.kind());
    const auto& entries = result.value.entries();
    ASSERT_EQ(4u, entries.size()) << result.value.describe();
    const wchar_t* const keys[] = {L"VersionMajor", L"VersionMinor", L"Release", L"Build"};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(Value::ofString(keys[i]), entries[i].first);
        EXPECT_EQ(Value::Kind::IntegerObject, entries[i].second.kind());
        EXPECT_EQ(static_cast<std::int32_t>(i + 1), entries[i].second.intValue());
    }
}

TEST_F(FilesShellProcesses, FileInfoOfFilesWithoutVersionIsEmpty)
{
    for (const std::wstring& path : {createFile(L"notes.txt"), m_folder / L"missing.exe", std::wstring()}) {
        CallResult result = call("getFileInfo", {path});
        EXPECT_TRUE(threwNothing(result)) << narrow(path);
        ASSERT_EQ(Value::Kind::HashMap, result.value.kind());
        EXPECT_TRUE(result.value.entries().empty()) << result.value.describe();
    }
}

// --- path forms --------------------------------------------------------------------

TEST_F(FilesShellProcesses, ShortAndLongFormsOfAPath)
{
    testing::createDirectories(m_folder / L"A Long Folder Name");
    const std::wstring file = createFile(L"A Long Folder Name\\Some Long File Name.text");
    wchar_t expected[MAX_PATH];
    ASSERT_NE(0u, GetShortPathNameW(file.c_str(), expected, MAX_PATH));

    CallResult result = call("getShortPathName", {file});
    ASSERT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofString(expected), result.value);
    EXPECT_EQ(std::wstring::npos, result.value.string().find(L"Some Long"));

    result = call("getLongPathName", {result.value.string()});
    ASSERT_TRUE(threwNothing(result));
    wchar_t longForm[MAX_PATH];
    ASSERT_NE(0u, GetLongPathNameW(expected, longForm, MAX_PATH));
    EXPECT_EQ(Value::ofString(longForm), result.value);
    EXPECT_NE(std::wstring::npos, result.value.string().find(L"A Long Folder Name\\Some Long File Name.text"));
}

TEST_F(FilesShellProcesses, FailedConversionIsErrorAndTheCode)
{
    for (const char* method : {"getShortPathName", "getLongPathName"}) {
        CallResult result = call(method, {m_folder / L"missing.txt"});
        EXPECT_TRUE(threwNothing(result));
        EXPECT_EQ(Value::ofString(L"Error:2"), result.value) << method;
    }
}

TEST_F(FilesShellProcesses, PathFormLimitIs259Characters)
{
    for (const char* method : {"getShortPathName", "getLongPathName"}) {
        CallResult result = call(method, {pathOfLength(259)});
        EXPECT_TRUE(threwNothing(result)) << method;
        EXPECT_EQ(0u, result.value.string().rfind(L"Error:", 0)) << method;
        result = call(method, {pathOfLength(260)});
        EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
        EXPECT_TRUE(result.value.isNull());
    }
}

// --- recycle bin -------------------------------------------------------------------

// Wine's recycle bin is the desktop trash of the Unix account, in
// $XDG_DATA_HOME/Trash, read from the program's environment when the bin is
// first used. The tests give it a folder of their own, for the whole test
// program, so that nothing lands in the real one.
class TrashHome {
public:
    static TrashHome& instance()
    {
        static TrashHome home;
        return home;
    }
    // The folder where trashed files land; empty when not under Wine.
    const std::wstring& filesFolder() const { return m_files; }

private:
    TrashHome()
    {
        const std::string home = testing::unixPathOf(m_folder.path());
        if (home.empty()) {
            return;
        }
        SetEnvironmentVariableA("XDG_DATA_HOME", home.c_str());
        m_files = m_folder / L"Trash\\files";
    }

    TempDir m_folder;
    std::wstring m_files;
};

TEST_F(FilesShellProcesses, FileGoesToTheRecycleBin)
{
    const std::wstring& trash = TrashHome::instance().filesFolder();
    const std::wstring name = unique(L"recycled-") + L".txt";
    const std::wstring file = createFile(name);
    CallResult result = call("moveToRecycleBin", {file});
    ASSERT_TRUE(threwNothing(result));
    EXPECT_TRUE(result.value.kind() == Value::Kind::Void);
    EXPECT_FALSE(fileExists(file));
    if (!trash.empty()) {
        EXPECT_TRUE(fileExists(trash + L"\\" + name)) << "not in the recycle bin: " << narrow(name);
    }

    // The narrow form, for a path in ASCII.
    const std::wstring narrowName = unique(L"recycled-narrow-") + L".txt";
    const std::wstring narrowFile = createFile(narrowName);
    EXPECT_TRUE(threwNothing(m_library->callNarrow("moveToRecycleBin", {narrowFile})));
    EXPECT_FALSE(fileExists(narrowFile));
    if (!trash.empty()) {
        EXPECT_TRUE(fileExists(trash + L"\\" + narrowName));
    }
}

TEST_F(FilesShellProcesses, WhatCannotBeOpenedForReadingStaysWhereItIs)
{
    TrashHome::instance();
    // A folder.
    const std::wstring folder = m_folder / L"folder";
    testing::createDirectories(folder);
    writeFileBytes(folder + L"\\inside.txt", "x");
    EXPECT_TRUE(threwAccess(call("moveToRecycleBin", {folder}), L"moveToRecycleBin", L"file not found"));
    EXPECT_TRUE(fileExists(folder + L"\\inside.txt"));

    // A file held by another without sharing.
    const std::wstring locked = createFile(L"locked.txt");
    win::Handle holder(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_TRUE(threwAccess(call("moveToRecycleBin", {locked}), L"moveToRecycleBin", L"file not found"));
    holder.reset();
    EXPECT_TRUE(fileExists(locked));

    // Nothing there, and several files named by a wildcard.
    EXPECT_TRUE(threwAccess(call("moveToRecycleBin", {m_folder / L"missing.txt"}), L"moveToRecycleBin",
                            L"file not found"));
    EXPECT_TRUE(threwAccess(call("moveToRecycleBin", {m_folder / L"*.txt"}), L"moveToRecycleBin",
                            L"file not found"));
    EXPECT_TRUE(fileExists(locked));
    EXPECT_TRUE(threwAccess(call("moveToRecycleBin", {nullptr}), L"moveToRecycleBin", L"file not found"));
}

TEST_F(FilesShellProcesses, RecyclePathLimitIs15998Characters)
{
    EXPECT_TRUE(threwAccess(call("moveToRecycleBin", {pathOfLength(15998)}), L"moveToRecycleBin", L"file not found"));
    EXPECT_TRUE(threwAccess(call("moveToRecycleBin", {pathOfLength(15999)}), L"jstringToChars",
                            L"jstring truncation occurred"));
    EXPECT_TRUE(threwAccess(m_library->callNarrow("moveToRecycleBin", {pathOfLength(15999)}), L"jstringToChars",
                            L"jstring truncation occurred"));
}

// --- access lists ----------------------------------------------------------------

std::wstring daclText(const std::wstring& path)
{
    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<unsigned char> descriptor(needed);
    if (needed == 0 || !GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed)) {
        return L"unreadable";
    }
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, nullptr)) {
        return L"unconvertible";
    }
    const win::LocalMemory owner(text);
    return text;
}

void setDacl(const std::wstring& path, const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    const win::LocalMemory owner(descriptor);
    EXPECT_TRUE(SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor));
}

TEST_F(FilesShellProcesses, CopyPermissionCopiesTheAccessList)
{
    const std::wstring from = createFile(L"from.txt");
    const std::wstring to = createFile(L"to.txt");
    // Wine keeps a file's access list as its Unix permissions, so what is
    // read back is the list those permissions give: the test compares the
    // lists as read back.
    setDacl(from, L"D:P(A;;FR;;;WD)");
    setDacl(to, L"D:P(A;;FA;;;WD)");
    const std::wstring granted = daclText(from);
    ASSERT_NE(granted, daclText(to));

    ASSERT_TRUE(threwNothing(call("copyPermission", {from, to})));
    EXPECT_EQ(granted, daclText(to));

    // Onto a folder, in the narrow form: the folder reads back as a folder
    // given the source's list directly does.
    const std::wstring folder = m_folder / L"target";
    const std::wstring reference = m_folder / L"reference";
    testing::createDirectories(folder);
    testing::createDirectories(reference);
    setDacl(folder, L"D:P(A;;FA;;;WD)");
    setDacl(reference, L"D:P(A;;FR;;;WD)");
    ASSERT_NE(daclText(reference), daclText(folder));
    ASSERT_TRUE(threwNothing(m_library->callNarrow("copyPermission", {from, folder})));
    EXPECT_EQ(daclText(reference), daclText(folder));
    setDacl(reference, L"D:P(A;;FA;;;WD)");
    setDacl(from, L"D:P(A;;FA;;;WD)");
}

TEST_F(FilesShellProcesses, CopyPermissionReportsMissingEnds)
{
    const std::wstring existing = createFile(L"present.txt");
    CallResult result = call("copyPermission", {m_folder / L"missing.txt", existing});
    EXPECT_TRUE(threwAccess(result, L"copyPermission", L"from file not found"));
    EXPECT_TRUE(threwAccess(call("copyPermission", {existing, m_folder / L"missing.txt"}), L"copyPermission",
                            L"to file not found"));
    // A missing folder is another error than a missing file: its code is told.
    EXPECT_TRUE(threwAccess(call("copyPermission", {m_folder / L"no folder\\missing.txt", existing}),
                            L"copyPermission", L"GetFileSecurity unexpected response (error_code=3)"));
    EXPECT_TRUE(threwAccess(m_library->callNarrow("copyPermission", {m_folder / L"missing.txt", existing}),
                            L"copyPermission", L"from file not found"));
}

TEST_F(FilesShellProcesses, CopyPermissionPathLimitIs2046Characters)
{
    // At the limit both paths are handed to Windows, which finds nothing.
    CallResult result = call("copyPermission", {pathOfLength(2046), pathOfLength(2046)});
    ASSERT_TRUE(result.exception);
    EXPECT_EQ(L"copyPermission", result.exception->operation);
    EXPECT_TRUE(threwAccess(call("copyPermission", {pathOfLength(2047), L"x"}), L"jstringToChars",
                            L"jstring truncation occurred"));
    EXPECT_TRUE(threwAccess(call("copyPermission", {L"x", pathOfLength(2047)}), L"jstringToChars",
                            L"jstring truncation occurred"));
}

// --- processes -------------------------------------------------------------------

TEST_F(FilesShellProcesses, CreateProcessStartsTheCommandLineWithoutWaiting)
{
    const std::wstring program = m_folder / L"created_program.exe";
    installStandIn(program);
    const std::wstring commandLine = L"\"" + program + L"\" --first 1";
    for (const bool inherit : {false, true}) {
        ASSERT_TRUE(threwNothing(call("createProcess", {commandLine, inherit})));
    }
    ASSERT_TRUE(threwNothing(m_library->callNarrow("createProcess", {commandLine + L" narrow", false})));
    waitForProgramsNamed(L"created_program.exe");
    std::vector<std::string> calls = standInCalls(program);
    std::sort(calls.begin(), calls.end());
    const std::string expected = testing::narrow(commandLine);
    EXPECT_EQ((std::vector<std::string>{expected, expected, expected + " narrow"}), calls);
}

TEST_F(FilesShellProcesses, CreateProcessOfAMissingProgramThrows)
{
    const std::wstring missing = L"\"" + (m_folder / L"missing.exe") + L"\"";
    EXPECT_TRUE(threwAccess(call("createProcess", {missing, false}), L"createProcess", L"CreateProcess failed"));
    EXPECT_TRUE(threwAccess(call("createProcess", {L"", false}), L"createProcess", L"CreateProcess failed"));
    EXPECT_TRUE(threwAccess(m_library->callNarrow("createProcess", {missing, false}), L"createProcess",
                            L"CreateProcess failed"));
}

TEST_F(FilesShellProcesses, CommandLineLimitIs15999Characters)
{
    const std::wstring program = m_folder / L"long_line.exe";
    installStandIn(program);
    std::wstring commandLine = L"\"" + program + L"\" ";
    commandLine.resize(15999, L'y');
    ASSERT_TRUE(threwNothing(call("createProcess", {commandLine, false})));
    waitForProgramsNamed(L"long_line.exe");
    EXPECT_EQ(std::vector<std::string>{testing::narrow(commandLine)}, standInCalls(program));

    EXPECT_TRUE(threwAccess(call("createProcess", {commandLine + L"y", false}), L"jstringToChars",
                            L"jstring truncation occurred"));
    EXPECT_EQ(1u, standInCalls(program).size());
}

TEST_F(FilesShellProcesses, ShellExecuteRunsTheDefaultActionForANullVerb)
{
    const std::wstring program = m_folder / L"shell_started.exe";
    installStandIn(program);
    CallResult result = call("shellExecute", {nullptr, program, L"--by shell", nullptr, SW_HIDE});
    ASSERT_TRUE(threwNothing(result));
    EXPECT_GT(result.value.intValue(), 32);
    result = call("shellExecute", {L"open", program, nullptr, m_folder.path(), SW_HIDE});
    EXPECT_GT(result.value.intValue(), 32);
    // A file named relative to the given directory.
    result = call("shellExecute", {nullptr, L"shell_started.exe", L"--relative", m_folder.path(), SW_HIDE});
    EXPECT_GT(result.value.intValue(), 32);
    result = m_library->callNarrow("shellExecute", {nullptr, program, L"--narrow", nullptr, SW_HIDE});
    EXPECT_GT(result.value.intValue(), 32);
    waitForProgramsNamed(L"shell_started.exe");

    const std::vector<std::string> calls = standInCalls(program);
    ASSERT_EQ(4u, calls.size());
    const auto startedWith = [&](const std::string& part) {
        return std::count_if(calls.begin(), calls.end(),
                             [&](const std::string& call) { return call.find(part) != std::string::npos; });
    };
    EXPECT_EQ(1, startedWith("--by shell"));
    EXPECT_EQ(1, startedWith("--relative"));
    EXPECT_EQ(1, startedWith("--narrow"));
}

TEST_F(FilesShellProcesses, ShellExecuteGivesTheShellsErrorCode)
{
    CallResult result = call("shellExecute", {nullptr, m_folder / L"missing.exe", nullptr, nullptr, SW_HIDE});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofInt(SE_ERR_FNF), result.value);
}

TEST_F(FilesShellProcesses, ShellExecuteLimits)
{
    const std::wstring longVerb(20, L'v');
    CallResult result = call("shellExecute", {longVerb, L"x.exe", nullptr, nullptr, 0});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    EXPECT_EQ(Value::ofInt(-1), result.value);
    result = call("shellExecute", {nullptr, pathOfLength(5192), nullptr, nullptr, 0});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    result = call("shellExecute", {nullptr, L"x.exe", std::wstring(16000, L'p'), nullptr, 0});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    result = m_library->callNarrow("shellExecute", {nullptr, L"x.exe", nullptr, pathOfLength(5192), 0});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    EXPECT_EQ(Value::ofInt(-1), result.value);

    // At the limits the shell is asked (and finds nothing). The file name is
    // kept short: Wine's shell fails on file names of 1,023 characters or
    // more (a fault of its own, not of the library).
    result = call("shellExecute", {std::wstring(19, L'v'), m_folder / L"missing.exe", std::wstring(15999, L'p'),
                                   pathOfLength(5191), 0});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_LE(result.value.intValue(), 32);
    EXPECT_GE(result.value.intValue(), 0);
}

TEST_F(FilesShellProcesses, ShellExecuteAndWaitReturnsTheExitCode)
{
    const std::wstring program = m_folder / L"elevated.exe";
    installStandIn(program, "exit=3\n");
    CallResult result = call("shellExecuteAndWait", {program, L"--asked twice"});
    ASSERT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofInt(3), result.value);
    // It waited: the program has ended and recorded its start.
    const std::vector<std::string> calls = standInCalls(program);
    ASSERT_EQ(1u, calls.size());
    EXPECT_NE(std::string::npos, calls[0].find("--asked twice"));

    installStandIn(program, "exit=-2\n");
    EXPECT_EQ(Value::ofInt(-2), call("shellExecuteAndWait", {program, nullptr}).value);
    installStandIn(program, "exit=7\n");
    result = m_library->callExport("shellExecAndWaitA", "shellExecuteAndWait", {program, L""});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofInt(7), result.value);
}

TEST_F(FilesShellProcesses, ShellExecuteAndWaitThrowsWhenNothingStarts)
{
    MessageBoxCloser closer;
    CallResult result = call("shellExecuteAndWait", {m_folder / L"missing.exe", L""});
    EXPECT_TRUE(threwAccess(result, L"shellExec", L"ShellExecW failed (error_code=2)"));
    EXPECT_EQ(Value::ofInt(0), result.value);
    result = m_library->callExport("shellExecAndWaitA", "shellExecuteAndWait", {m_folder / L"missing.exe", L""});
    EXPECT_TRUE(threwAccess(result, L"shellExec", L"ShellExecA failed (error_code=2)"));
    EXPECT_EQ(Value::ofInt(0), result.value);
}

TEST_F(FilesShellProcesses, ShellExecuteAndWaitLimitIs2047Characters)
{
    CallResult result = call("shellExecuteAndWait", {pathOfLength(2048), L""});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    EXPECT_EQ(Value::ofInt(0), result.value);
    result = call("shellExecuteAndWait", {L"x.exe", std::wstring(2048, L'p')});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));

    const std::wstring program = m_folder / L"limit.exe";
    installStandIn(program, "exit=5\n");
    std::wstring parameters(2047, L'p');
    EXPECT_EQ(Value::ofInt(5), call("shellExecuteAndWait", {program, parameters}).value);
}

TEST_F(FilesShellProcesses, ProcessIdOfAHandle)
{
    // -1 is the calling process's own pseudo-handle.
    EXPECT_EQ(Value::ofInt(static_cast<std::int32_t>(GetCurrentProcessId())), call("getProcessId", {-1}).value);
    const win::Handle own(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, GetCurrentProcessId()));
    ASSERT_TRUE(own);
    const auto handleValue = static_cast<int>(reinterpret_cast<INT_PTR>(own.get()));
    EXPECT_EQ(Value::ofInt(static_cast<std::int32_t>(GetCurrentProcessId())),
              call("getProcessId", {handleValue}).value);
    // No handle at all, and a number far beyond any handle of the process.
    CallResult result = call("getProcessId", {0});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofInt(0), result.value);
    EXPECT_EQ(Value::ofInt(0), call("getProcessId", {0x7FFFFFF0}).value);
}

// --- named mutexes ---------------------------------------------------------------------

// mutex_fixture in a process of its own, holding the mutex until released.
class OtherProcess {
public:
    explicit OtherProcess(const std::wstring& mutexName)
        : m_ready(unique(L"vantor-test-ready-")),
          m_release(unique(L"vantor-test-release-")),
          m_readyEvent(CreateEventW(nullptr, TRUE, FALSE, m_ready.c_str())),
          m_releaseEvent(CreateEventW(nullptr, TRUE, FALSE, m_release.c_str()))
    {
        m_process.start(L"\"" + binPath(L"mutex_fixture.exe") + L"\" \"" + mutexName + L"\" " + m_ready + L" " +
                        m_release);
    }
    ~OtherProcess() { release(); }
    // True once the other process has the mutex.
    bool holds() const
    {
        return m_process.handle() != nullptr && WaitForSingleObject(m_readyEvent.get(), 30000) == WAIT_OBJECT_0;
    }
    // Lets it end and returns its exit code: 0 when it created the mutex,
    // 183 when the mutex existed already.
    DWORD release()
    {
        SetEvent(m_releaseEvent.get());
        DWORD code = 1;
        if (m_process.handle() != nullptr && WaitForSingleObject(m_process.handle(), 30000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(m_process.handle(), &code);
        }
        return code;
    }

private:
    std::wstring m_ready;
    std::wstring m_release;
    win::Handle m_readyEvent;
    win::Handle m_releaseEvent;
    testing::ChildProcess m_process;
};

TEST_F(FilesShellProcesses, MutexOfTheFirstProcessGivesALaterOneZero)
{
    const std::wstring name = unique(L"vantor-test-mutex-");
    CallResult result = call("createMutex", {name});
    ASSERT_TRUE(threwNothing(result));
    const std::int64_t handle = result.value.longValue();
    EXPECT_NE(0, handle);
    // A real handle of a mutex of that name, not taken by anyone.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(handle)), 0));
    ReleaseMutex(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(handle)));

    OtherProcess other(name);
    ASSERT_TRUE(other.holds());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), other.release());

    // A second call in the same process finds it too.
    EXPECT_EQ(Value::ofLong(0), call("createMutex", {name}).value);
}

TEST_F(FilesShellProcesses, MutexHeldByAnotherProcessGivesZero)
{
    const std::wstring name = unique(L"vantor-test-mutex-");
    OtherProcess other(name);
    ASSERT_TRUE(other.holds());
    CallResult result = call("createMutex", {name});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofLong(0), result.value);
    EXPECT_EQ(0u, other.release());

    // The library kept its handle to the mutex open, so the name still
    // exists after the other process ended.
    const win::Handle again(CreateMutexW(nullptr, FALSE, name.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
}

TEST_F(FilesShellProcesses, MutexNameLimitIs255Characters)
{
    std::wstring name = unique(L"vantor-test-mutex-");
    name.resize(255, L'm');
    EXPECT_NE(0, call("createMutex", {name}).value.longValue());
    CallResult result = call("createMutex", {name + L"m"});
    EXPECT_TRUE(threwAccess(result, L"jstringToChars", L"jstring truncation occurred"));
    EXPECT_EQ(Value::ofLong(0), result.value);
    // Nothing was created under the longer name.
    EXPECT_FALSE(win::Handle(OpenMutexW(SYNCHRONIZE, FALSE, (name + L"m").c_str())));
}

// --- folders and names -------------------------------------------------------------------

TEST_F(FilesShellProcesses, UserAppDataAndComputerName)
{
    wchar_t appData[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData));
    CallResult result = call("getUserAppData");
    ASSERT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofString(appData), result.value);

    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(name, &length));
    result = call("getComputerName");
    ASSERT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofString(std::wstring(name, length)), result.value);
    EXPECT_FALSE(result.value.string().empty());
}

}  // namespace
}  // namespace vantor::jnihost
