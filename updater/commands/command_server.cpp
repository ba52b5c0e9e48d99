#include "command_server.h"

#include "command_sender.h"
#include "text/bounded_copy.h"
#include "win/system_library.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>
#include <string>
#include <vector>

namespace vantor {

namespace {

// A command's result text.
constexpr std::size_t kResultCapacity = 256;

using PipeProcessIdFn = BOOL WINAPI(HANDLE, PULONG);

// The id of the process that started this one, or 0.
DWORD parentProcessId()
{
    win::Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return 0;
    }
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == self) {
            return entry.th32ParentProcessID;
        }
    }
    return 0;
}

}  // namespace

CommandServer::CommandServer(DiagnosticsLog& log, const CommandFactory& factory) : m_log(log), m_factory(factory) {}

bool CommandServer::pipeBelongsToParent()
{
    auto* serverProcessId = win::procAddress<PipeProcessIdFn>(GetModuleHandleW(L"kernel32.dll"),
                                                              "GetNamedPipeServerProcessId");
    if (serverProcessId == nullptr) {
        return true;  // the system cannot tell
    }
    ULONG owner = 0;
    const DWORD parent = parentProcessId();
    if (serverProcessId(m_pipe.get(), &owner) && parent != 0 && owner == parent) {
        return true;
    }
    m_log.write(L"ERROR", L"Command pipe belongs to process " + std::to_wstring(owner) +
                              L", not to the starting process " + std::to_wstring(parent) +
                              L"; nothing is executed");
    return false;
}

void CommandServer::run()
{
    // Identification level only: whoever holds the other end can never act
    // with this process's rights.
    m_pipe.reset(CreateFileW(kCommandPipeName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
    if (!m_pipe) {
        m_log.write(L"ERROR", L"Can't open pipe file");
        return;
    }
    if (!pipeBelongsToParent()) {
        m_pipe.reset();
        return;
    }

    std::vector<wchar_t> message(kReceivedMessageUnits, L'\0');
    wchar_t result[kResultCapacity] = L"0";
    DWORD read = 0;
    constexpr DWORD kReadBytes = static_cast<DWORD>(kReceivedMessageBytes);
    BOOL received = ReadFile(m_pipe.get(), message.data(), kReadBytes, &read, nullptr);
    while (received) {
        terminateReceivedMessage(message.data(), read);
        m_log.write(L"INFO", std::wstring(L"Receive command : ") + message.data());
        std::unique_ptr<Command> command = m_factory.create(message.data(), read);
        if (command) {
            m_log.write(L"INFO", std::wstring(L"execute command: ") + message.data());
            command->execute(result, kResultCapacity, m_log);
        } else {
            text::copyCut(result, kResultCapacity, std::wstring_view(L"-9999"));
        }
        m_log.write(L"INFO", std::wstring(L"command result: ") + result);

        const DWORD bytes = static_cast<DWORD>(wcslen(result) * sizeof(wchar_t));
        DWORD written = 0;
        if (!WriteFile(m_pipe.get(), result, bytes, &written, nullptr)) {
            break;
        }
        received = ReadFile(m_pipe.get(), message.data(), kReadBytes, &read, nullptr);
        text::copyCut(result, kResultCapacity, std::wstring_view(L"0"));
    }
    m_pipe.reset();
}

}  // namespace vantor
