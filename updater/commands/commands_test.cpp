// The commands executed in this process, against real files, folders and
// processes.
#include "updater/commands/commands.h"

#include "tests/support/test_log.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace vantor {
namespace {

using namespace vantor::testing;
using namespace std::string_literals;

class CommandsTest : public ::testing::Test {
protected:
    // Executes with the server's "0" preset, as the server does.
    std::wstring run(Command& command)
    {
        wchar_t result[256] = L"0";
        command.execute(result, 256, m_log.log());
        return result;
    }

    static std::wstring shortPath(const std::wstring& path)
    {
        wchar_t buffer[1024];
        const DWORD length = GetShortPathNameW(path.c_str(), buffer, 1024);
        return std::wstring(buffer, length);
    }

    TempDir m_dir;
    TestLog m_log;
};

std::unique_ptr<Command> create(const std::wstring& wire)
{
    CommandFactory factory(nullptr);
    // The server terminates the received text after the bytes it read.
    std::wstring terminated = wire;
    terminated += L'\0';
    return factory.create(terminated.c_str(), wire.size() * sizeof(wchar_t));
}

TEST(CommandFactory, BuildsEachCommandFromItsWireText)
{
    for (const wchar_t* identifier : {L"ExecuteProcessCommand", L"FIREWALL_ADD_COMMAND", L"COPY_COMMAND",
                                      L"DELETE_COMMAND", L"CRT_FLD_CMD", L"TEST_ON_WRITE_COMMAND"}) {
        const std::unique_ptr<Command> command = create(std::wstring(identifier) + L'\0' + L"C:\\x");
        ASSERT_NE(nullptr, command) << narrow(identifier);
        EXPECT_STREQ(identifier, command->name());
        std::wstring text;
        command->describe(text);
        EXPECT_EQ(std::wstring(identifier) + L":C:\\x", text);
    }
    EXPECT_EQ(nullptr, create(L"UNKNOWN\0x"s));
    EXPECT_EQ(nullptr, create(L"copy_command\0a|b"s));
    EXPECT_EQ(nullptr, create(L"DELETE_COMMAND"s));  // no separator within the bytes received
}

TEST(CommandFactory, ArgumentOf519IsKeptWholeAndLongerIsRefused)
{
    const std::unique_ptr<Command> whole = create(L"DELETE_COMMAND\0"s + std::wstring(519, L'a'));
    ASSERT_NE(nullptr, whole);
    EXPECT_EQ(519u, wcslen(static_cast<CommandWithOneArg&>(*whole).argument()));
    // ...but its wire text does not fit the sender's 520 characters.
    wchar_t buffer[520];
    std::size_t length = 0;
    EXPECT_FALSE(whole->serialize(buffer, 520, length));

    EXPECT_EQ(nullptr, create(L"DELETE_COMMAND\0"s + std::wstring(520, L'a')));
}

TEST(CommandFactory, OddByteCountDropsTheHalfCharacter)
{
    CommandFactory factory(nullptr);
    const std::wstring wire = L"CRT_FLD_CMD\0C:\\ab"s;
    std::wstring terminated = wire + L'\0';
    const std::unique_ptr<Command> command = factory.create(terminated.c_str(), wire.size() * 2 - 1);
    ASSERT_NE(nullptr, command);
    EXPECT_STREQ(L"C:\\a", static_cast<CommandWithOneArg&>(*command).argument());
}

TEST(CommandSerialize, DescribeAppendsIdentifierAndArgument)
{
    std::wstring text = L"> ";
    DeleteCommand(L"C:\\x").describe(text);
    EXPECT_EQ(L"> DELETE_COMMAND:C:\\x", text);
}

TEST_F(CommandsTest, OverLongArgumentIsRefusedAndNothingIsExecuted)
{
    const std::wstring folder = m_dir / (L"f" + std::wstring(560, L'x'));
    CreateFolderCommand command(folder);
    EXPECT_FALSE(command.argumentAccepted());
    EXPECT_STREQ(L"", command.argument());
    EXPECT_EQ(L"206", run(command));
    EXPECT_FALSE(directoryExists(folder));
    wchar_t buffer[520];
    std::size_t length = 0;
    EXPECT_FALSE(command.serialize(buffer, 520, length));
    EXPECT_TRUE(m_log.contains("Argument too long, CRT_FLD_CMD not executed"));
}

TEST_F(CommandsTest, ExecuteProcessAnswersTheExitStatus)
{
    const std::wstring program = m_dir / L"program.exe";
    installStandIn(program, "exit=1");
    ExecuteProcessCommand one(L"\"" + program + L"\" --x y");
    EXPECT_EQ(L"1", run(one));
    ASSERT_EQ(1u, standInCalls(program).size());
    EXPECT_NE(std::string::npos, standInCalls(program)[0].find("--x y"));

    writeFileBytes(program + L".cfg", "exit=0xFFFFFFFF");
    ExecuteProcessCommand minusOne(L"\"" + program + L"\"");
    EXPECT_EQ(L"-1", run(minusOne));

    ExecuteProcessCommand missing(L"\"" + (m_dir / L"missing.exe") + L"\"");
    EXPECT_EQ(L"-5", run(missing));
}

TEST_F(CommandsTest, CopyCreatesTheFolderAndReplacesUnderTheLongName)
{
    const std::wstring source = m_dir / L"Long Source Name.bin";
    writeFileBytes(source, "new");
    const std::wstring destination = m_dir / L"a\\b";
    // The source is named by its short path, as the client names itself.
    CopyCommand copy(shortPath(source) + L"|" + destination);
    EXPECT_EQ(L"0", run(copy));
    EXPECT_EQ("new", readFileBytes(destination + L"\\Long Source Name.bin"));
    EXPECT_TRUE(m_log.contains("Copy '" + narrow(shortPath(source)) + "' to '" + narrow(destination) + "'"));

    writeFileBytes(source, "newer");
    EXPECT_EQ(L"0", run(copy));
    EXPECT_EQ("newer", readFileBytes(destination + L"\\Long Source Name.bin"));
}

TEST_F(CommandsTest, CopyRefusesAMissingBarAndOverLongPaths)
{
    const std::wstring source = m_dir / L"s.bin";
    writeFileBytes(source, "x");
    CopyCommand noBar(source + L" " + (m_dir / L"dest"));
    EXPECT_EQ(L"87", run(noBar));
    EXPECT_FALSE(directoryExists(m_dir / L"dest"));
    EXPECT_TRUE(m_log.contains("Error copy file, err: 87"));

    const std::wstring deep = m_dir / std::wstring(260 - m_dir.path().size() - 1, L'd');
    ASSERT_EQ(260u, deep.size());
    CopyCommand longDestination(source + L"|" + deep);
    EXPECT_EQ(L"206", run(longDestination));
    EXPECT_FALSE(directoryExists(deep));

    const std::wstring fits = m_dir / std::wstring(259 - m_dir.path().size() - 1, L'd');
    ASSERT_EQ(259u, fits.size());
    CopyCommand atLimit(source + L"|" + fits);
    run(atLimit);
    EXPECT_TRUE(directoryExists(fits));
}

TEST_F(CommandsTest, CopyOfAMissingSourceAnswersTheShellCode)
{
    CopyCommand copy((m_dir / L"missing.bin") + L"|" + (m_dir / L"dest"));
    const std::wstring result = run(copy);
    EXPECT_NE(L"0", result);
    EXPECT_TRUE(m_log.contains("Error copy file, err: " + narrow(result)));
}

TEST_F(CommandsTest, DeleteRemovesFilesAndFoldersAndReportsFailures)
{
    const std::wstring file = m_dir / L"f.bin";
    writeFileBytes(file, "x");
    DeleteCommand deleteFile(file);
    EXPECT_EQ(L"0", run(deleteFile));
    EXPECT_FALSE(fileExists(file));
    EXPECT_TRUE(m_log.contains("Delete " + narrow(file)));

    createDirectories(m_dir / L"tree\\below");
    writeFileBytes(m_dir / L"tree\\below\\x", "x");
    DeleteCommand deleteTree(m_dir / L"tree");
    EXPECT_EQ(L"0", run(deleteTree));
    EXPECT_FALSE(directoryExists(m_dir / L"tree"));

    DeleteCommand missing(m_dir / L"missing.bin");
    const std::wstring result = run(missing);
    EXPECT_NE(L"0", result);
    EXPECT_TRUE(m_log.contains("Error delete file, err: " + narrow(result)));

    DeleteCommand tooLong(m_dir / std::wstring(260 - m_dir.path().size() - 1, L'd'));
    EXPECT_EQ(L"206", run(tooLong));
}

TEST_F(CommandsTest, CreateFolderCreatesParentsAndAcceptsAnExistingFolder)
{
    const std::wstring folder = m_dir / L"x\\y\\z";
    CreateFolderCommand create(folder);
    EXPECT_EQ(L"0", run(create));
    EXPECT_TRUE(directoryExists(folder));
    EXPECT_TRUE(m_log.contains("Create directory " + narrow(folder)));

    EXPECT_EQ(L"0", run(create));
    EXPECT_TRUE(m_log.contains("Folder exist already"));
}

TEST_F(CommandsTest, CreateFolderOnAFileAnswersAnErrorCode)
{
    const std::wstring file = m_dir / L"file";
    writeFileBytes(file, "x");
    CreateFolderCommand create(file);
    const std::wstring result = run(create);
    EXPECT_NE(L"0", result);
    EXPECT_TRUE(m_log.contains("Can't create folder '" + narrow(file) + "', error code=" + narrow(result)));
}

TEST_F(CommandsTest, TestOnWriteProbesAndCreatesTheFolder)
{
    TestOnWriteCommand writable(m_dir / L"new\\folder");
    EXPECT_EQ(L"0", run(writable));
    EXPECT_TRUE(directoryExists(m_dir / L"new\\folder"));
    EXPECT_TRUE(m_log.contains("OK"));

    writeFileBytes(m_dir / L"file", "x");
    TestOnWriteCommand blocked(m_dir / L"file\\below");
    EXPECT_EQ(L"1", run(blocked));
    EXPECT_TRUE(m_log.contains("FAIL"));
}

TEST_F(CommandsTest, FirewallAddWorksOnAThreadWithoutCom)
{
    // A fresh thread has no COM; the command must set it up itself.
    std::wstring result;
    std::thread worker([&] {
        FirewallAdd command(L"C:\\Program Files\\Vantor\\Vantor.exe");
        result = run(command);
    });
    worker.join();
    EXPECT_NE(std::to_wstring(static_cast<long>(CO_E_NOTINITIALIZED)), result);
    EXPECT_EQ(L"0", result);
    EXPECT_TRUE(m_log.contains("Firewall add, fileName: Vantor.exe path:C:\\Program Files\\Vantor\\Vantor.exe"));

    FirewallAdd bare(L"bare");
    run(bare);
    EXPECT_TRUE(m_log.contains("Firewall add, fileName:  path:bare"));
}

}  // namespace
}  // namespace vantor
