#include "updater/commands/command_server.h"

#include "common/text/bounded_copy.h"
#include "common/win/system_library.h"
#include "updater/commands/command_wire.h"
#include "updater/commands/pipe_io.h"
#include "updater/startup/installation.h"

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

win::Handle openParentProcess(DiagnosticsLog& log)
{
    const DWORD parentId = parentProcessId();
    if (parentId == 0) {
        log.write(L"ERROR", L"Can't find the process that started the server; nothing is executed");
        return {};
    }
    const DWORD access =
        SYNCHRONIZE | (systemVersion().major >= 6 ? PROCESS_QUERY_LIMITED_INFORMATION : PROCESS_QUERY_INFORMATION);
    win::Handle parent(OpenProcess(access, FALSE, parentId));
    if (!parent) {
        const DWORD error = GetLastError();
        log.write(L"ERROR", L"Can't open the process that started the server, err: " + std::to_wstring(error) +
                                L"; nothing is executed");
        return {};
    }
    // A process that started after this one only holds the id of the one
    // that started it, which has ended since.
    FILETIME parentCreated{}, ownCreated{}, unused1{}, unused2{}, unused3{};
    if (!GetProcessTimes(parent.get(), &parentCreated, &unused1, &unused2, &unused3) ||
        !GetProcessTimes(GetCurrentProcess(), &ownCreated, &unused1, &unused2, &unused3) ||
        CompareFileTime(&parentCreated, &ownCreated) > 0) {
        log.write(L"ERROR", L"The process that started the server has ended; nothing is executed");
        return {};
    }
    return parent;
}

CommandServer::CommandServer(DiagnosticsLog& log, const CommandFactory& factory, HANDLE client)
    : m_log(log), m_factory(factory), m_client(client)
{
}

bool CommandServer::pipeBelongsToClient()
{
    auto* serverProcessId = win::procAddress<PipeProcessIdFn>(GetModuleHandleW(L"kernel32.dll"),
                                                              "GetNamedPipeServerProcessId");
    if (serverProcessId == nullptr) {
        return true;  // the system cannot tell
    }
    ULONG owner = 0;
    const DWORD client = GetProcessId(m_client);
    if (serverProcessId(m_pipe.get(), &owner) && client != 0 && owner == client) {
        return true;
    }
    m_log.write(L"ERROR", L"Command pipe belongs to process " + std::to_wstring(owner) +
                              L", not to the starting process " + std::to_wstring(client) +
                              L"; nothing is executed");
    return false;
}

bool CommandServer::clientHasEnded() const
{
    return WaitForSingleObject(m_client, 0) != WAIT_TIMEOUT;
}

CommandServer::Transfer CommandServer::transfer(bool write, void* data, DWORD size, DWORD& done)
{
    switch (transferOnPipe(m_pipe.get(), m_event.get(), m_client, write, data, size, done)) {
    case PipeTransfer::Interrupted:
        return Transfer::ClientEnded;
    case PipeTransfer::Failed:
        return Transfer::Failed;
    case PipeTransfer::Done:
        break;
    }
    // A request that arrived as the client ended is not taken either.
    return clientHasEnded() ? Transfer::ClientEnded : Transfer::Done;
}

void CommandServer::run()
{
    if (m_client == nullptr) {
        return;  // openParentProcess has said why
    }
    // Identification level only: whoever holds the other end can never act
    // with this process's rights.
    m_pipe.reset(CreateFileW(kCommandPipeName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT |
                                 SECURITY_IDENTIFICATION,
                             nullptr));
    if (!m_pipe) {
        m_log.write(L"ERROR", L"Can't open pipe file");
        return;
    }
    m_event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_event || !pipeBelongsToClient()) {
        m_pipe.reset();
        return;
    }

    std::vector<wchar_t> message(kReceivedMessageUnits, L'\0');
    wchar_t result[kResultCapacity] = L"0";
    DWORD read = 0;
    constexpr DWORD kReadBytes = static_cast<DWORD>(kReceivedMessageBytes);
    Transfer received = transfer(false, message.data(), kReadBytes, read);
    while (received == Transfer::Done) {
        terminateReceivedMessage(message.data(), read);
        m_log.write(L"INFO", pipeLogLine(L"Receive command : ", message.data()));
        std::unique_ptr<Command> command = m_factory.create(message.data(), read);
        if (command) {
            m_log.write(L"INFO", pipeLogLine(L"execute command: ", message.data()));
            command->execute(result, kResultCapacity, m_log);
        } else {
            text::copyCut(result, kResultCapacity, std::wstring_view(L"-9999"));
        }
        m_log.write(L"INFO", pipeLogLine(L"command result: ", result));

        const DWORD bytes = static_cast<DWORD>(wcslen(result) * sizeof(wchar_t));
        DWORD written = 0;
        received = transfer(true, result, bytes, written);
        if (received != Transfer::Done) {
            break;
        }
        received = transfer(false, message.data(), kReadBytes, read);
        text::copyCut(result, kResultCapacity, std::wstring_view(L"0"));
    }
    if (received == Transfer::ClientEnded) {
        m_log.write(L"INFO", L"The client has ended; nothing more is read");
    }
    m_pipe.reset();
}

}  // namespace vantor
