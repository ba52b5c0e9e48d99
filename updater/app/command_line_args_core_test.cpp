#include "updater/app/command_line_args.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

using Elements = std::vector<std::wstring>;

TEST(CommandLineArgsRules, SwitchTakesTheNextElementUnlessItIsASwitch)
{
    const CommandLineArgs args(L"", Elements{L"/asService", L"/logPath", L"C:\\t\\x.log", L"/runVantor", L"word"},
                               L"");
    ASSERT_EQ(3u, args.pairs().size());
    EXPECT_EQ(L"/asService", args.pairs()[0].name);
    EXPECT_FALSE(args.pairs()[0].value.has_value());
    EXPECT_EQ(L"C:\\t\\x.log", args.pairs()[1].value.value());
    EXPECT_EQ(L"word", args.pairs()[2].value.value());
    EXPECT_TRUE(args.has(L"/runVantor"));
    EXPECT_EQ(L"ARGS:/asService /logPath C:\\t\\x.log /runVantor word ", args.argsLine());
}

TEST(CommandLineArgsRules, HasIsExactIncludingLetterCase)
{
    const CommandLineArgs args(L"", Elements{L"/runvantor", L"/asServiceX"}, L"");
    EXPECT_FALSE(args.has(L"/runVantor"));
    EXPECT_FALSE(args.has(L"/asService"));
    EXPECT_TRUE(args.has(L"/runvantor"));
    // Values are never looked up.
    const CommandLineArgs valued(L"", Elements{L"/x", L"/runVantor"}, L"");
    EXPECT_TRUE(valued.has(L"/runVantor"));
    const CommandLineArgs asValue(L"", Elements{L"/logPath", L"runVantor"}, L"");
    EXPECT_FALSE(asValue.has(L"runVantor"));
}

TEST(CommandLineArgsRules, PlainFirstWordIsItselfASwitch)
{
    const CommandLineArgs args(L"", Elements{L"plain", L"/asService"}, L"");
    ASSERT_EQ(2u, args.pairs().size());
    EXPECT_EQ(L"plain", args.pairs()[0].name);
    EXPECT_TRUE(args.has(L"/asService"));
}

TEST(CommandLineArgsRules, OwnPathAsFirstElementIsSkippedOnlyThere)
{
    const std::wstring own = L"C:\\PROGRA~1\\Vantor\\VANTOR~1.EXE";
    const CommandLineArgs first(L"", Elements{own, L"/asService"}, own);
    ASSERT_EQ(1u, first.pairs().size());
    EXPECT_EQ(L"/asService", first.pairs()[0].name);

    // Later it is an ordinary element: here the value of "/y".
    const CommandLineArgs later(L"", Elements{L"/x", L"/y", own}, own);
    ASSERT_EQ(2u, later.pairs().size());
    EXPECT_EQ(own, later.pairs()[1].value.value());
    // Another spelling of the same file is not the own path.
    const CommandLineArgs other(L"", Elements{L"c:\\progra~1\\vantor\\vantor~1.exe"}, own);
    EXPECT_EQ(1u, other.pairs().size());
}

TEST(CommandLineArgsRules, TextIsCutAndArgsLineIsCutTo1023Characters)
{
    const std::wstring longText(20000, L'a');
    const CommandLineArgs args(longText, Elements{L"/" + std::wstring(2000, L'b')}, L"");
    EXPECT_EQ(16383u, args.text().size());
    const std::wstring line = args.argsLine();
    EXPECT_EQ(1023u, line.size());
    EXPECT_EQ(L"ARGS:/bbb", line.substr(0, 9));
    EXPECT_EQ(L"ARGS:", CommandLineArgs(L"", Elements{}, L"").argsLine());
}

}  // namespace
}  // namespace vantor
