// The command line as the system splits it.
#include "updater/app/command_line_args.h"

#include "tests/support/test_support.h"
#include "updater/app/update_command_lines.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(CommandLineArgs, QuotedValuesAreSplitTheSystemsWay)
{
    const CommandLineArgs args =
        CommandLineArgs::fromCommandLine(L"/secondInstance /asService /logPath \"C:\\a b\\VantorUpdater.log\"");
    ASSERT_EQ(3u, args.pairs().size());
    EXPECT_TRUE(args.has(L"/asService"));
    EXPECT_EQ(L"C:\\a b\\VantorUpdater.log", args.pairs()[2].value.value());
    EXPECT_EQ(L"ARGS:/secondInstance /asService /logPath C:\\a b\\VantorUpdater.log ", args.argsLine());
}

TEST(CommandLineArgs, EmptyCommandLineHasNoPairs)
{
    EXPECT_TRUE(CommandLineArgs::fromCommandLine(L"").pairs().empty());
    EXPECT_TRUE(CommandLineArgs::fromCommandLine(nullptr).pairs().empty());
    EXPECT_EQ(L"ARGS:", CommandLineArgs::fromCommandLine(L"").argsLine());
}

TEST(CommandLineArgs, OwnShortPathFirstIsNotASwitch)
{
    wchar_t path[1000];
    const DWORD length = GetModuleFileNameW(nullptr, path, 1000);
    wchar_t shortPath[2048];
    const DWORD shortLength = GetShortPathNameW(std::wstring(path, length).c_str(), shortPath, 2048);
    const std::wstring own(shortPath, shortLength);

    const CommandLineArgs args = CommandLineArgs::fromCommandLine((L"\"" + own + L"\" /asService").c_str());
    ASSERT_EQ(1u, args.pairs().size());
    EXPECT_EQ(L"/asService", args.pairs()[0].name);
    EXPECT_EQ(L"\"" + own + L"\" /asService", args.text());
}

// The system's own splitting, as a started program's C runtime does it for
// every argument after the program's name.
std::vector<std::wstring> splitArguments(const std::wstring& commandLine)
{
    return CommandLineArgs::fromCommandLine(commandLine.c_str()).elements();
}

TEST(CommandLineArgs, ForwardedArgumentsReachTheElevatedCopyUnchanged)
{
    // Each text as a user (or another program) might pass it; the elevated
    // copy must read back exactly the client's elements, followed by the
    // switches appended to them as elements of their own.
    const std::vector<std::wstring> texts = {
        L"/runVantor \"x",
        L"/runVantor \"C:\\dir\\\"",
        L"/runVantor \"C:\\dir\\\\\"",
        L"\"C:\\Program Files\\Vantor\\VantorUpdater.exe\" /runVantor",
        L"\"C:\\a b\\\" tail\\ \"\" x",
        L"a\"b /runVantor",
        L"/logPath \"C:\\my dir\\\\\\\"quoted\\\" /asService",
        L"one\ttwo \"three\tfour\"",
    };
    for (const std::wstring& text : texts) {
        const CommandLineArgs client = CommandLineArgs::fromCommandLine(text.c_str());
        std::vector<std::wstring> expected = client.elements();
        expected.push_back(L"/secondInstance");
        expected.push_back(L"/asService");
        const std::wstring forwarded = serverArgumentText(client.forwardedText());
        EXPECT_EQ(expected, splitArguments(forwarded)) << testing::narrow(text) << " -> " << testing::narrow(forwarded);
    }
    // Arguments that need no quoting are handed on as they are.
    EXPECT_EQ(L"/runVantor word /secondInstance /asService",
              serverArgumentText(CommandLineArgs::fromCommandLine(L"/runVantor word").forwardedText()));
    EXPECT_EQ(L" /secondInstance /asService", serverArgumentText(CommandLineArgs::fromCommandLine(L"").forwardedText()));
}

TEST(CommandLineArgs, StartedProgramsGetEachPathAsOneArgument)
{
    // A program folder at a drive's root ends in a backslash, which must not
    // escape its closing quote.
    const std::wstring line = L"prog " + javaUpdaterCommandLine(L"C:\\jre", L"D:\\", L"3.4.1", L"C:\\");
    const std::vector<std::wstring> expected = {
        L"prog",
        L"C:\\jre\\bin\\javaw.exe",
        L"-classpath",
        L"D:\\\\Vantor\\plugins\\vupdater\\vupdater_3.4.1.jar;Vantor.jar;swt.jar",
        L"ru.vantor.plugins.vupdater.Updater",
        L"updateonly",
        L"C:\\",
        L"D:\\\\Vantor",
    };
    EXPECT_EQ(expected, splitArguments(line));
    const std::vector<std::wstring> ext = splitArguments(L"prog " + extUpdaterCommandLine(L"C:\\j r", L"C:\\a b\\", true));
    EXPECT_EQ((std::vector<std::wstring>{L"prog", L"C:\\j r\\bin\\javaw.exe", L"-classpath", L"C:\\a b\\",
                                         L"ru.vantor.plugins.vupdater.ext.Main", L"updateAdmin"}),
              ext);
}

}  // namespace
}  // namespace vantor
