// The command pipe end to end: the real updater in server mode against a
// client of the test's own, and the product's client side against the real
// server.
#include "updater/commands/command_sender.h"

#include "tests/support/test_log.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <aclapi.h>

#include <cstdint>
#include <vector>

namespace vantor {
namespace {

using namespace vantor::testing;
using namespace std::string_literals;

// A raw client of the pipe: sends exactly the bytes it is given and returns
// exactly the bytes of one reply.
class TestPipeClient {
public:
    TestPipeClient()
        : m_pipe(CreateNamedPipeW(kCommandPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, 0, 1, 0, 0, 0,
                                  nullptr)),
          m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }

    bool created() const { return m_pipe.valid(); }

    bool connect(DWORD timeoutMs)
    {
        OVERLAPPED overlapped = fresh();
        if (ConnectNamedPipe(m_pipe.get(), &overlapped) || GetLastError() == ERROR_PIPE_CONNECTED) {
            return true;
        }
        if (GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        return finish(overlapped, timeoutMs);
    }

    // Writes `request` and reads one reply; "(no reply)" when none comes.
    std::wstring exchange(const std::wstring& request, DWORD timeoutMs = 30000)
    {
        OVERLAPPED write = fresh();
        DWORD done = 0;
        if (!WriteFile(m_pipe.get(), request.data(), static_cast<DWORD>(request.size() * 2), &done, &write) &&
            (GetLastError() != ERROR_IO_PENDING || !finish(write, timeoutMs))) {
            return L"(write failed)";
        }
        wchar_t reply[512] = {};
        OVERLAPPED read = fresh();
        if (!ReadFile(m_pipe.get(), reply, sizeof reply, &done, &read)) {
            if (GetLastError() != ERROR_IO_PENDING || !finish(read, timeoutMs)) {
                return L"(no reply)";
            }
            GetOverlappedResult(m_pipe.get(), &read, &done, FALSE);
        }
        m_lastReplyBytes = done;
        return std::wstring(reply, done / 2);
    }

    DWORD lastReplyBytes() const { return m_lastReplyBytes; }
    void close() { m_pipe.reset(); }

private:
    OVERLAPPED fresh()
    {
        ResetEvent(m_event.get());
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_event.get();
        return overlapped;
    }

    bool finish(OVERLAPPED& overlapped, DWORD timeoutMs)
    {
        DWORD done = 0;
        if (WaitForSingleObject(m_event.get(), timeoutMs) != WAIT_OBJECT_0) {
            CancelIo(m_pipe.get());
            GetOverlappedResult(m_pipe.get(), &overlapped, &done, TRUE);
            return false;
        }
        return GetOverlappedResult(m_pipe.get(), &overlapped, &done, FALSE) != FALSE;
    }

    win::Handle m_pipe;
    win::Handle m_event;
    DWORD m_lastReplyBytes = 0;
};

class CommandPipeTest : public ::testing::Test {
protected:
    // Options for an updater whose log is this test's own.
    ProcessOptions updaterOptions() const
    {
        ProcessOptions options;
        options.environment[L"TMP"] = m_temp.path();
        options.environment[L"TEMP"] = m_temp.path();
        return options;
    }

    bool startServer(ChildProcess& server)
    {
        return server.start(L"\"" + binPath(L"VantorUpdater.exe") + L"\" /asService", updaterOptions());
    }

    std::wstring serverLogPath() const { return m_temp / L"VantorUpdater.log"; }
    std::vector<std::string> serverLog() const { return readLines(serverLogPath()); }
    bool serverLogged(const std::string& text) const
    {
        return readFileBytes(serverLogPath()).find(text) != std::string::npos;
    }

    TempDir m_temp;
    TempDir m_dir;
};

TEST_F(CommandPipeTest, ServerExecutesEachCommandAndStopsWhenTheClientCloses)
{
    TestPipeClient client;
    ASSERT_TRUE(client.created());
    ChildProcess server;
    ASSERT_TRUE(startServer(server));
    ASSERT_TRUE(client.connect(20000));

    EXPECT_EQ(L"-9999", client.exchange(L"NO_SUCH_COMMAND\0x"s));
    EXPECT_EQ(10u, client.lastReplyBytes());
    EXPECT_EQ(L"-9999", client.exchange(L"DELETE_COMMAND"s));  // no separator

    EXPECT_EQ(L"0", client.exchange(L"CRT_FLD_CMD\0"s + (m_dir / L"made\\deep")));
    EXPECT_EQ(2u, client.lastReplyBytes());
    EXPECT_TRUE(directoryExists(m_dir / L"made\\deep"));

    EXPECT_EQ(L"0", client.exchange(L"TEST_ON_WRITE_COMMAND\0"s + (m_dir / L"made")));

    writeFileBytes(m_dir / L"source.bin", "payload");
    EXPECT_EQ(L"0", client.exchange(L"COPY_COMMAND\0"s + (m_dir / L"source.bin") + L"|" + (m_dir / L"copies")));
    EXPECT_EQ("payload", readFileBytes(m_dir / L"copies\\source.bin"));

    EXPECT_EQ(L"0", client.exchange(L"DELETE_COMMAND\0"s + (m_dir / L"source.bin")));
    EXPECT_FALSE(fileExists(m_dir / L"source.bin"));

    const std::wstring program = m_dir / L"program.exe";
    installStandIn(program, "exit=3");
    EXPECT_EQ(L"3", client.exchange(L"ExecuteProcessCommand\0\""s + program + L"\" updateonly"));
    ASSERT_EQ(1u, standInCalls(program).size());
    EXPECT_NE(std::string::npos, standInCalls(program)[0].find("updateonly"));

    EXPECT_EQ(L"0", client.exchange(L"FIREWALL_ADD_COMMAND\0C:\\Vantor\\Vantor.exe"s));

    client.close();
    const ProcessResult result = server.wait(30000);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(0u, result.exitCode);

    // Every line is the server's; the command lines show the identifier only.
    const std::vector<std::string> lines = serverLog();
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        EXPECT_NE(std::string::npos, line.find(" : [SRV] : ")) << line;
        for (const char* prefix : {"Receive command : ", "execute command: "}) {
            const std::size_t at = line.find(prefix);
            if (at != std::string::npos) {
                const std::string shown = line.substr(at + strlen(prefix));
                EXPECT_EQ(std::string::npos, shown.find_first_of("\\:| ")) << line;
            }
        }
    }
    EXPECT_NE(std::string::npos, lines.front().find("ARGS:/asService "));
    EXPECT_NE(std::string::npos, lines.back().find("INFO : [SRV] : Server is stopped"));
    EXPECT_TRUE(serverLogged("Receive command : NO_SUCH_COMMAND"));
    EXPECT_TRUE(serverLogged("command result: -9999"));
    EXPECT_TRUE(serverLogged("execute command: CRT_FLD_CMD"));
}

TEST_F(CommandPipeTest, RequestOfTheFullBufferIsReceivedWholeAndServingGoesOn)
{
    TestPipeClient client;
    ChildProcess server;
    ASSERT_TRUE(startServer(server));
    ASSERT_TRUE(client.connect(20000));

    // 20,480 bytes: an argument far over 519 characters, refused.
    const std::wstring identifier = L"CRT_FLD_CMD";
    std::wstring request = identifier + L'\0' + std::wstring(10240 - identifier.size() - 1, L'a');
    ASSERT_EQ(20480u, request.size() * 2);
    EXPECT_EQ(L"-9999", client.exchange(request));
    // 20,480 bytes without a separator: its line is cut as any other.
    EXPECT_EQ(L"-9999", client.exchange(std::wstring(10240, L'b')));
    // The next request is read on its own; its argument ends at the
    // terminator that the client sends, and what follows is ignored.
    EXPECT_EQ(L"0", client.exchange(L"CRT_FLD_CMD\0"s + (m_dir / L"after") + L"\0"s + (m_dir / L"ignored")));
    EXPECT_TRUE(directoryExists(m_dir / L"after"));
    EXPECT_FALSE(directoryExists(m_dir / L"ignored"));

    client.close();
    EXPECT_EQ(0u, server.wait(30000).exitCode);
    EXPECT_TRUE(serverLogged("Receive command : CRT_FLD_CMD"));
    EXPECT_TRUE(serverLogged("INFO : [SRV] : Receive command : " + std::string(255 - 18, 'b') + "\r\n"));
}

TEST_F(CommandPipeTest, ServerWithoutPipeStops)
{
    ChildProcess server;
    ASSERT_TRUE(startServer(server));
    const ProcessResult result = server.wait(30000);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_TRUE(serverLogged("ERROR : [SRV] : Can't open pipe file"));
    EXPECT_TRUE(serverLogged("INFO : [SRV] : Server is stopped"));
}

TEST_F(CommandPipeTest, ServerRefusesAPipeThatAnotherProcessCreated)
{
    // The squatter takes the name and offers a command; the server was
    // started by this test, not by the squatter.
    ChildProcess squatter;
    const std::wstring reply = m_dir / L"reply.txt";
    const std::wstring target = m_dir / L"squatted";
    ASSERT_TRUE(squatter.start(L"\"" + binPath(L"pipe_squatter.exe") + L"\" \"" + reply + L"\" CRT_FLD_CMD \"" +
                               target + L"\""));
    ASSERT_TRUE(waitForPipe(kCommandPipeName, 20000));

    ChildProcess server;
    ASSERT_TRUE(startServer(server));
    const ProcessResult result = server.wait(30000);
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_FALSE(directoryExists(target));
    EXPECT_TRUE(serverLogged("ERROR : [SRV] : Command pipe belongs to process"));
    EXPECT_FALSE(serverLogged("Receive command"));
    EXPECT_TRUE(serverLogged("Server is stopped"));
    // The squatter got nothing back.
    squatter.wait(30000);
    EXPECT_NE("0", readFileBytes(reply));
}

TEST_F(CommandPipeTest, NothingIsExecutedOnceTheClientHasEnded)
{
    // The client hands copies of its pipe end and of the server's process to
    // this test and ends; the test then writes through the copy.
    const std::wstring handles = m_dir / L"handles.txt";
    const ProcessResult client = runProcess(L"\"" + binPath(L"orphaned_client.exe") + L"\" " +
                                                std::to_wstring(GetCurrentProcessId()) + L" \"" + handles + L"\"",
                                            updaterOptions());
    ASSERT_EQ(0u, client.exitCode);
    const std::string values = readFileBytes(handles);
    const std::size_t blank = values.find(' ');
    ASSERT_NE(std::string::npos, blank);
    win::Handle pipe(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::stoull(values.substr(0, blank)))));
    win::Handle server(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::stoull(values.substr(blank + 1)))));

    const std::wstring request = L"CRT_FLD_CMD\0"s + (m_dir / L"orphaned");
    win::Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    DWORD done = 0;
    if (WriteFile(pipe.get(), request.data(), static_cast<DWORD>(request.size() * 2), nullptr, &overlapped) ||
        GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(event.get(), 10000) != WAIT_OBJECT_0) {
            CancelIo(pipe.get());
        }
        GetOverlappedResult(pipe.get(), &overlapped, &done, TRUE);
    }

    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(server.get(), 30000));
    DWORD exitCode = 1;
    EXPECT_TRUE(GetExitCodeProcess(server.get(), &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_FALSE(directoryExists(m_dir / L"orphaned"));
    EXPECT_FALSE(serverLogged("Receive command"));
    EXPECT_TRUE(serverLogged("INFO : [SRV] : Server is stopped"));
}

class CommandSenderTest : public CommandPipeTest {
protected:
    TestLog m_log;
};

TEST_F(CommandSenderTest, SendsToTheStartedServerAndClosingStopsIt)
{
    ClientPipe pipe = createCommandPipe(m_log.log());
    ASSERT_EQ(PipeConnection::Created, pipe.connection);
    ChildProcess server;
    ASSERT_TRUE(startServer(server));
    waitForServer(pipe, m_log.log(), server.handle(), server.id());
    ASSERT_EQ(PipeConnection::Connected, pipe.connection);

    // Only this user and the Administrators group may open the pipe, each
    // with full access, and no one else: no other user's program can offer
    // itself as the server.
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              GetSecurityInfo(pipe.pipe.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                              nullptr, &descriptor));
    win::LocalMemory descriptorOwner(descriptor);
    ASSERT_NE(nullptr, acl);
    win::Handle token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()));
    DWORD userSize = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &userSize);
    std::vector<BYTE> user(userSize);
    ASSERT_TRUE(GetTokenInformation(token.get(), TokenUser, user.data(), userSize, &userSize));
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD administratorsSize = sizeof administrators;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administratorsSize));
    const PSID expected[] = {reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, administrators};
    ASSERT_EQ(2u, acl->AceCount);
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(acl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType) << i;
        EXPECT_EQ(0, ace->Header.AceFlags) << i;
        EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_ALL_ACCESS), ace->Mask) << i;
        EXPECT_TRUE(EqualSid(&ace->SidStart, expected[i])) << i;
    }

    CommandSenderPipe sender(std::move(pipe.pipe), m_log.log());

    EXPECT_FALSE(sender.send(nullptr, nullptr, 0));

    wchar_t reply[256] = L"unchanged";
    CreateFolderCommand create(m_dir / L"by-sender");
    EXPECT_TRUE(sender.send(&create, reply, 256));
    EXPECT_STREQ(L"0", reply);
    EXPECT_TRUE(directoryExists(m_dir / L"by-sender"));
    EXPECT_TRUE(m_log.contains("INFO : [DEF] : send command : CRT_FLD_CMD\r\n"));
    EXPECT_TRUE(m_log.contains("INFO : [DEF] : command result: 0\r\n"));

    // A reply is cut to the caller's buffer.
    DeleteCommand missing(m_dir / L"missing.bin");
    wchar_t small[2] = {};
    EXPECT_TRUE(sender.send(&missing, small, 2));
    EXPECT_EQ(1u, wcslen(small));

    // A wire text over the sender's buffer is refused before anything is sent.
    ExecuteProcessCommand tooLong(std::wstring(519 - 21, L'x'));
    EXPECT_FALSE(sender.send(&tooLong, reply, 256));
    EXPECT_TRUE(m_log.contains("Command does not fit the send buffer: ExecuteProcessCommand"));

    sender.close();
    EXPECT_EQ(0u, server.wait(30000).exitCode);
    EXPECT_TRUE(serverLogged("Server is stopped"));

    // After close every send fails.
    EXPECT_FALSE(sender.send(&create, reply, 256));
    EXPECT_TRUE(m_log.contains("ERROR : [DEF] : Failed to send data, err: 6"));
}

TEST_F(CommandSenderTest, ANameAlreadyTakenGivesNoPipeAndSaysSo)
{
    TestPipeClient squatter;
    ASSERT_TRUE(squatter.created());
    ClientPipe pipe = createCommandPipe(m_log.log());
    EXPECT_EQ(PipeConnection::NameTaken, pipe.connection);
    EXPECT_FALSE(pipe.pipe.valid());
    EXPECT_TRUE(m_log.contains("ERROR : [DEF] : Command pipe name is taken by another process"));
}

TEST_F(CommandSenderTest, WaitEndsWithTheServerProcessOrTheTimeLimit)
{
    const std::wstring program = m_dir / L"quits.exe";
    installStandIn(program, "sleep_ms=300\nexit=0");
    ChildProcess quits;
    ASSERT_TRUE(quits.start(L"\"" + program + L"\""));
    const DWORD start = GetTickCount();
    ClientPipe ended = createCommandPipe(m_log.log());
    waitForServer(ended, m_log.log(), quits.handle(), quits.id(), 60000);
    EXPECT_EQ(PipeConnection::WaitFailed, ended.connection);
    EXPECT_FALSE(ended.pipe.valid());
    EXPECT_LT(GetTickCount() - start, 30000u);
    EXPECT_TRUE(m_log.contains("The server ended before it opened the command pipe"));

    ClientPipe timedOut = createCommandPipe(m_log.log());
    waitForServer(timedOut, m_log.log(), nullptr, 0, 200);
    EXPECT_EQ(PipeConnection::WaitFailed, timedOut.connection);
    EXPECT_TRUE(m_log.contains("The server did not open the command pipe in time"));
}

TEST_F(CommandSenderTest, AnotherProcessOnTheOtherEndGetsNothing)
{
    // The real server connects, but the client expects a different process:
    // the server is disconnected, sent nothing, and the wait goes on until
    // the process it was given ends (the server, once its read fails).
    ClientPipe pipe = createCommandPipe(m_log.log());
    ChildProcess server;
    ASSERT_TRUE(startServer(server));
    waitForServer(pipe, m_log.log(), server.handle(), GetCurrentProcessId());
    EXPECT_EQ(PipeConnection::WaitFailed, pipe.connection);
    EXPECT_FALSE(pipe.pipe.valid());
    EXPECT_TRUE(m_log.contains("Command pipe opened by an unknown process " + std::to_string(server.id())));
    EXPECT_TRUE(m_log.contains("The server ended before it opened the command pipe"));
    EXPECT_EQ(0u, server.wait(30000).exitCode);
    EXPECT_FALSE(serverLogged("Receive command"));
}

}  // namespace
}  // namespace vantor
