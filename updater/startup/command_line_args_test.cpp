// The command line as the system splits it.
#include "command_line_args.h"

#include "test_support.h"

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

}  // namespace
}  // namespace vantor
