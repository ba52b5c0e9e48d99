#include "updater/commands/command_wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantor {
namespace {

using namespace std::string_literals;

TEST(CommandWire, CopyCommandWireTextHasTheIdentifierSeparatorAndArgument)
{
    wchar_t buffer[520];
    std::size_t length = 0;
    ASSERT_TRUE(composeWireText(L"COPY_COMMAND", L"C:\\A\\u.exe|C:\\P", buffer, 520, length));
    EXPECT_EQ(28u, length);
    EXPECT_EQ(L"COPY_COMMAND\0C:\\A\\u.exe|C:\\P"s, std::wstring(buffer, length));
    EXPECT_EQ(L'\0', buffer[length]);
}

TEST(CommandWire, WireTextMustFitWithOneCharacterToSpare)
{
    wchar_t buffer[520];
    std::size_t length = 7;
    // 21 + 1 + 497 = 519 characters fit a 520-character buffer...
    EXPECT_TRUE(composeWireText(L"TEST_ON_WRITE_COMMAND", std::wstring(497, L'a'), buffer, 520, length));
    EXPECT_EQ(519u, length);
    // ...one more does not, and nothing is written.
    length = 7;
    buffer[0] = L'#';
    EXPECT_FALSE(composeWireText(L"TEST_ON_WRITE_COMMAND", std::wstring(498, L'a'), buffer, 520, length));
    EXPECT_EQ(7u, length);
    EXPECT_EQ(L'#', buffer[0]);
    // An argument of 519 characters never fits the sender's buffer.
    EXPECT_FALSE(composeWireText(L"CRT_FLD_CMD", std::wstring(519, L'a'), buffer, 520, length));
}

TEST(CommandWire, EachIdentifierIsRecognisedWithItsArgument)
{
    const CommandKind kinds[] = {CommandKind::ExecuteProcess, CommandKind::FirewallAdd, CommandKind::Copy,
                                 CommandKind::Delete,         CommandKind::CreateFolder, CommandKind::TestOnWrite};
    for (CommandKind kind : kinds) {
        const std::wstring text = std::wstring(commandIdentifier(kind)) + L'\0' + L"C:\\x";
        const auto recognised = recogniseCommand(text);
        ASSERT_TRUE(recognised.has_value()) << static_cast<int>(kind);
        EXPECT_EQ(kind, recognised->kind);
        EXPECT_EQ(L"C:\\x", recognised->argument);
    }
    EXPECT_STREQ(L"ExecuteProcessCommand", commandIdentifier(CommandKind::ExecuteProcess));
    EXPECT_STREQ(L"FIREWALL_ADD_COMMAND", commandIdentifier(CommandKind::FirewallAdd));
    EXPECT_STREQ(L"CRT_FLD_CMD", commandIdentifier(CommandKind::CreateFolder));
}

TEST(CommandWire, NearMissesAreNotCommands)
{
    EXPECT_FALSE(recogniseCommand(L"COPY_COMMAND|C:\\a|C:\\b"s));    // another character as separator
    EXPECT_FALSE(recogniseCommand(L"copy_command\0C:\\a|C:\\b"s));   // letter case
    EXPECT_FALSE(recogniseCommand(L"COPY_COMMANDS\0C:\\a|C:\\b"s));  // extra letters
    EXPECT_FALSE(recogniseCommand(L"COPY\0_COMMAND"s));              // a prefix
    EXPECT_FALSE(recogniseCommand(L"UNKNOWN\0x"s));
    EXPECT_FALSE(recogniseCommand(L""s));
}

TEST(CommandWire, TextWithoutSeparatorIsNoCommand)
{
    // The receiver's terminator after the text must not stand in for the
    // separator.
    EXPECT_FALSE(recogniseCommand(L"DELETE_COMMAND"s));
    const auto empty = recogniseCommand(L"DELETE_COMMAND\0"s);
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(L"", empty->argument);
}

TEST(CommandWire, ArgumentStartsAfterTheFirstSeparator)
{
    const auto recognised = recogniseCommand(L"CRT_FLD_CMD\0a\0b"s);
    ASSERT_TRUE(recognised.has_value());
    EXPECT_EQ(L"a\0b"s, std::wstring(recognised->argument));
}

TEST(CommandWire, ServerTakesTheArgumentUpToItsFirstZeroAndWithinItsBuffer)
{
    const auto accepted = acceptReceivedCommand(L"DELETE_COMMAND\0C:\\x"s);
    ASSERT_TRUE(accepted.has_value());
    EXPECT_EQ(CommandKind::Delete, accepted->kind);
    EXPECT_EQ(L"C:\\x", accepted->argument);
    EXPECT_TRUE(acceptReceivedCommand(L"CRT_FLD_CMD\0"s + std::wstring(519, L'a')).has_value());
    EXPECT_FALSE(acceptReceivedCommand(L"CRT_FLD_CMD\0"s + std::wstring(520, L'a')).has_value());
    EXPECT_FALSE(acceptReceivedCommand(L"UNKNOWN\0x"s).has_value());
    // A client that sends its terminator, with or without more behind it.
    for (const std::wstring& tail : {L"\0"s, L"\0y"s, L"\0\0DELETE_COMMAND\0C:\\y"s}) {
        const auto terminated = acceptReceivedCommand(L"DELETE_COMMAND\0C:\\x"s + tail);
        ASSERT_TRUE(terminated.has_value());
        EXPECT_EQ(L"C:\\x", terminated->argument);
    }
    // The limit applies to the argument, not to what follows it.
    EXPECT_EQ(519u, acceptReceivedCommand(L"CRT_FLD_CMD\0"s + std::wstring(519, L'a') + L'\0' +
                                          std::wstring(9000, L'b'))
                        ->argument.size());
    EXPECT_FALSE(acceptReceivedCommand(L"CRT_FLD_CMD\0"s + std::wstring(520, L'a') + L'\0').has_value());

    // The log lines show the text up to its first zero, in 255 characters.
    EXPECT_EQ(L"Receive command : DELETE_COMMAND", pipeLogLine(L"Receive command : ", L"DELETE_COMMAND\0C:\\x"s));
    const std::wstring line = pipeLogLine(L"Receive command : ", std::wstring(10240, L'a'));
    EXPECT_EQ(L"Receive command : " + std::wstring(255 - 18, L'a'), line);
}

TEST(CommandWire, ReceivedMessageIsTerminatedInsideItsBuffer)
{
    std::vector<wchar_t> buffer(kReceivedMessageUnits, L'x');
    EXPECT_EQ(kReceivedMessageBytes / 2, terminateReceivedMessage(buffer.data(), kReceivedMessageBytes).size());
    EXPECT_EQ(L'\0', buffer.back());
    // A count larger than one read can give is held to the buffer.
    EXPECT_EQ(kReceivedMessageBytes / 2, terminateReceivedMessage(buffer.data(), 1u << 20).size());
    // An odd last byte is not a unit of the text.
    buffer.assign(kReceivedMessageUnits, L'x');
    EXPECT_EQ(L"xx", terminateReceivedMessage(buffer.data(), 5));
    EXPECT_EQ(L'\0', buffer[2]);
    EXPECT_EQ(L"", terminateReceivedMessage(buffer.data(), 1));
}

TEST(CommandWire, CopyArgumentSplitsAtTheFirstBar)
{
    const auto paths = splitCopyArgument(L"C:\\a|C:\\b|c");
    ASSERT_TRUE(paths.has_value());
    EXPECT_EQ(L"C:\\a", paths->source);
    EXPECT_EQ(L"C:\\b|c", paths->destination);
    EXPECT_FALSE(splitCopyArgument(L"C:\\a C:\\b").has_value());
    const auto bare = splitCopyArgument(L"|");
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(L"", bare->source);
    EXPECT_EQ(L"", bare->destination);
}

}  // namespace
}  // namespace vantor
