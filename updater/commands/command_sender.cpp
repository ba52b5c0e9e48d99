#include "updater/commands/command_sender.h"

#include "common/text/bounded_copy.h"
#include "common/win/system_library.h"
#include "updater/commands/command_wire.h"
#include "updater/commands/pipe_io.h"
#include "updater/startup/installation.h"

#include <string>
#include <vector>

namespace vantor {

namespace {

// The wire text being sent: 520 characters, so at most 519.
constexpr std::size_t kSendCapacity = 520;
// The reply is read in one read of at most 254 bytes (127 characters).
constexpr DWORD kReplyBytes = 254;

// One read or write on the pipe, waited for to its end.
bool transfer(HANDLE pipe, bool write, void* data, DWORD size, DWORD& done)
{
    done = 0;
    win::Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    return event && transferOnPipe(pipe, event.get(), nullptr, write, data, size, done) == PipeTransfer::Done;
}

// A DACL that grants the pipe to the current user and to the Administrators
// group only. A standard user's elevated copy runs as an administrator's
// account, hence the group.
class PipeSecurity {
public:
    bool build()
    {
        win::Handle token;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
            return false;
        }
        DWORD size = 0;
        GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
        if (size == 0) {
            return false;
        }
        m_user.assign(size, 0);
        if (!GetTokenInformation(token.get(), TokenUser, m_user.data(), size, &size)) {
            return false;
        }
        PSID user = reinterpret_cast<TOKEN_USER*>(m_user.data())->User.Sid;

        DWORD adminSize = SECURITY_MAX_SID_SIZE;
        m_administrators.assign(adminSize, 0);
        if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, m_administrators.data(), &adminSize)) {
            return false;
        }
        PSID administrators = m_administrators.data();

        const DWORD aclSize = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) + GetLengthSid(user) +
                              GetLengthSid(administrators);
        m_acl.assign(aclSize, 0);
        PACL acl = reinterpret_cast<PACL>(m_acl.data());
        if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
            !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, user) ||
            !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, administrators) ||
            !InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE)) {
            return false;
        }
        m_attributes.nLength = sizeof m_attributes;
        m_attributes.lpSecurityDescriptor = &m_descriptor;
        m_attributes.bInheritHandle = FALSE;
        return true;
    }

    SECURITY_ATTRIBUTES* attributes() { return &m_attributes; }

private:
    std::vector<BYTE> m_user;
    std::vector<BYTE> m_administrators;
    std::vector<BYTE> m_acl;
    SECURITY_DESCRIPTOR m_descriptor{};
    SECURITY_ATTRIBUTES m_attributes{};
};

using PipeProcessIdFn = BOOL WINAPI(HANDLE, PULONG);

// Waits at most `timeoutMs` for some process to open the created `pipe`,
// using `event` (manual reset) to wait on; the wait also ends when
// `serverProcess` (when given) ends. True once a process has opened it; a
// failure is logged.
bool awaitConnection(HANDLE pipe, HANDLE event, HANDLE serverProcess, DWORD timeoutMs, DiagnosticsLog& log)
{
    ResetEvent(event);
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    if (ConnectNamedPipe(pipe, &overlapped)) {
        return true;
    }
    const DWORD error = GetLastError();
    // Opened already, or opened and closed again: either way some process
    // came, and whether it was the server is for the caller to see.
    if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA) {
        return true;
    }
    if (error != ERROR_IO_PENDING) {
        log.write(L"ERROR", L"Can't wait for the command pipe, err: " + std::to_wstring(error));
        return false;
    }
    HANDLE waits[2] = {event, serverProcess};
    const DWORD count = serverProcess != nullptr ? 2 : 1;
    const DWORD wait = WaitForMultipleObjects(count, waits, FALSE, timeoutMs);
    DWORD ignored = 0;
    if (wait == WAIT_OBJECT_0) {
        if (GetOverlappedResult(pipe, &overlapped, &ignored, FALSE)) {
            return true;
        }
        const DWORD failure = GetLastError();
        log.write(L"ERROR", L"Can't wait for the command pipe, err: " + std::to_wstring(failure));
        return false;
    }
    // The operation must be over before its OVERLAPPED goes.
    CancelIo(pipe);
    if (GetOverlappedResult(pipe, &overlapped, &ignored, TRUE)) {
        return true;
    }
    log.write(L"ERROR", wait == WAIT_TIMEOUT ? L"The server did not open the command pipe in time"
                                             : L"The server ended before it opened the command pipe");
    return false;
}

// True when the process on the other end of the connected `pipe` is the
// server `serverProcessId`, or when the system cannot tell; otherwise logged.
bool otherEndIsServer(HANDLE pipe, DWORD serverProcessId, DiagnosticsLog& log)
{
    auto* clientProcessId = win::procAddress<PipeProcessIdFn>(GetModuleHandleW(L"kernel32.dll"),
                                                              "GetNamedPipeClientProcessId");
    if (clientProcessId == nullptr) {
        return true;
    }
    ULONG client = 0;
    if (clientProcessId(pipe, &client) && serverProcessId != 0 && client == serverProcessId) {
        return true;
    }
    log.write(L"ERROR", L"Command pipe opened by an unknown process " + std::to_wstring(client) +
                            L", nothing is sent");
    return false;
}

}  // namespace

CommandSenderPipe::CommandSenderPipe(win::Handle pipe, DiagnosticsLog& log) : m_pipe(std::move(pipe)), m_log(log) {}

bool CommandSenderPipe::send(Command* command, wchar_t* reply, std::size_t capacity)
{
    if (command == nullptr) {
        return false;
    }
    wchar_t buffer[kSendCapacity] = {};
    std::size_t length = 0;
    if (!command->serialize(buffer, kSendCapacity, length)) {
        m_log.write(L"ERROR", std::wstring(L"Command does not fit the send buffer: ") + command->name());
        return false;
    }
    // The separator ends the logged text, so only the identifier shows.
    m_log.write(L"INFO", pipeLogLine(L"send command : ", buffer));

    DWORD written = 0;
    if (!transfer(m_pipe.get(), true, buffer, static_cast<DWORD>(length * sizeof(wchar_t)), written)) {
        const DWORD error = GetLastError();
        m_log.write(L"ERROR", L"Failed to send data, err: " + std::to_wstring(error));
        return false;
    }

    wchar_t answer[kReplyBytes / sizeof(wchar_t) + 1] = {};
    DWORD read = 0;
    if (!transfer(m_pipe.get(), false, answer, kReplyBytes, read)) {
        read = 0;  // an unreadable reply counts as empty
    }
    answer[read / sizeof(wchar_t)] = L'\0';
    if (reply != nullptr) {
        text::copyCut(reply, capacity, std::wstring_view(answer));
    }
    m_log.write(L"INFO", pipeLogLine(L"command result: ", answer));
    return true;
}

void CommandSenderPipe::close()
{
    m_pipe.reset();
}

ClientPipe createCommandPipe(DiagnosticsLog& log)
{
    ClientPipe result;
    PipeSecurity security;
    if (!security.build()) {
        const DWORD error = GetLastError();
        log.write(L"ERROR", L"Can't build the command pipe's access list, err: " + std::to_wstring(error));
        return result;
    }
    // Remote clients are refused where the system knows the flag; older
    // systems reject it as an invalid parameter.
    const DWORD mode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT |
                       (systemVersion().major >= 6 ? PIPE_REJECT_REMOTE_CLIENTS : 0);
    result.pipe.reset(CreateNamedPipeW(kCommandPipeName,
                                       PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED, mode,
                                       1, 0, 0, 0, security.attributes()));
    if (result.pipe) {
        result.connection = PipeConnection::Created;
        return result;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY) {
        // Another process holds the name: whatever it is, it gets nothing.
        log.write(L"ERROR", L"Command pipe name is taken by another process, err: " + std::to_wstring(error));
        result.connection = PipeConnection::NameTaken;
    } else {
        log.write(L"ERROR", L"Can't create command pipe, err: " + std::to_wstring(error));
    }
    return result;
}

void waitForServer(ClientPipe& pipe, DiagnosticsLog& log, HANDLE serverProcess, DWORD serverProcessId,
                   DWORD timeoutMs)
{
    if (pipe.connection != PipeConnection::Created) {
        return;
    }
    win::Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) {
        const DWORD error = GetLastError();
        log.write(L"ERROR", L"Can't wait for the command pipe, err: " + std::to_wstring(error));
    } else {
        const DWORD start = GetTickCount();
        for (;;) {
            const DWORD elapsed = GetTickCount() - start;
            const DWORD remaining = elapsed < timeoutMs ? timeoutMs - elapsed : 0;
            if (!awaitConnection(pipe.pipe.get(), event.get(), serverProcess, remaining, log)) {
                break;
            }
            if (otherEndIsServer(pipe.pipe.get(), serverProcessId, log)) {
                pipe.connection = PipeConnection::Connected;
                return;
            }
            // Whoever it is gets nothing, and the pipe waits for its server.
            DisconnectNamedPipe(pipe.pipe.get());
        }
    }
    pipe.pipe.reset();
    pipe.connection = PipeConnection::WaitFailed;
}

}  // namespace vantor
