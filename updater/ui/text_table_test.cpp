#include "updater/ui/text_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantor {
namespace {

TEST(KeyHash, IsTheJavaStringHash)
{
    EXPECT_EQ(0u, keyHash(L""));
    EXPECT_EQ(99162322u, keyHash(L"hello"));
    EXPECT_EQ(static_cast<std::uint32_t>(-2089436899), keyHash(L"plugin.version"));
    // Wraps at 32 bits; units above 0x7F are taken as unsigned 16-bit values.
    EXPECT_EQ(static_cast<std::uint32_t>(31 * 0x0417 + 0x0430), keyHash(L"\u0417\u0430"));
}

struct ParseCase {
    const char* name;
    std::wstring text;
    std::wstring key;
    std::wstring expected;  // what lookup(key) gives; the key itself when absent
};

class TextTableParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(TextTableParse, LooksUpAsTheFormatSays)
{
    const ParseCase& c = GetParam();
    TextTable table;
    table.parse(c.text);
    EXPECT_EQ(c.expected, std::wstring(table.lookup(c.key.c_str())));
}

const ParseCase kCases[] = {
    {"Plain", L"CLOSE=Close\r\nOK=OK\r\n", L"CLOSE", L"Close"},
    {"ByteOrderMarkBeforeFirstKey", L"\xFEFFREQUIRES_ADMIN_PRIVILEGES=x\r\n", L"REQUIRES_ADMIN_PRIVILEGES", L"x"},
    {"FirstDefinitionWins", L"CANCEL=first\r\nCANCEL=second\r\n", L"CANCEL", L"first"},
    {"LeadingSpaceKept", L"K= x\r\n", L"K", L" x"},
    {"TrailingCrDropped", L"K=x\r\n", L"K", L"x"},
    {"InnerSpacesKept", L"K=a b  c\r\n", L"K", L"a b  c"},
    {"TabInsideValueIsPartOfTheRun", L"K=a\tb\r\n", L"K", L"a\t"},
    {"HashAndEqualsAreValueText", L"K=a=b#c\r\n", L"K", L"a=b#c"},
    {"SpacesAroundKeySkipped", L"  K  =v\r\n", L"K", L"v"},
    {"SpaceInsideKeyCountsInTheRun", L"A B=v\r\n", L"A ", L"v"},
    {"CommentLine", L"# K=v\r\nL=w\r\n", L"K", L"K"},
    {"CommentBetweenEntries", L"K=v\r\n#comment\r\nL=w\r\n", L"L", L"w"},
    {"HashBeforeEqualsMakesAComment", L"K#x=v\r\n", L"K", L"K"},
    // The key's run starts at A and spans four counted units: "AB", CR, LF.
    {"LineWithoutEqualsJoinsTheNextKey", L"AB\r\nCD=v\r\n", L"AB\r\n", L"v"},
    {"LineWithoutEqualsLeavesTheNextKeyAbsent", L"AB\r\nCD=v\r\n", L"CD", L"CD"},
    {"EmptyLinesIgnored", L"\r\n\r\nK=v\r\n\r\n", L"K", L"v"},
    {"LastLineWithoutLineEnd", L"a=1\nplugin.version=2.0.5", L"plugin.version", L"2.0.5"},
    {"EmptyValueStoresNothing", L"K=\r\n", L"K", L"K"},
    {"OnlySpaceValueIsText", L"K= \r\n", L"K", L" "},
    {"StopsAtAZeroUnit", std::wstring(L"K=v\r\n\0L=w\r\n", 12), L"L", L"L"},
    {"LfOnlyLines", L"K=v\nL=w", L"L", L"w"},
    // A value left pending by a line without a key is taken by the next key
    // that ends in a comment or at the end of the text.
    {"PendingValueJoinsCommentedKey", L"=abc\nKEY#note\n", L"KEY", L"abc"},
    {"PendingValueJoinsLastKey", L"=abc\nKEY", L"KEY", L"abc"},
    {"PendingValueReplacedByNextEquals", L"=abc\nKEY=def\n", L"KEY", L"def"},
    {"AbsentKeyGivesItself", L"K=v\r\n", L"MISSING", L"MISSING"},
};

INSTANTIATE_TEST_SUITE_P(Format, TextTableParse, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

TEST(TextTable, LookupOfAnAbsentKeyReturnsTheCallersOwnString)
{
    TextTable table;
    const wchar_t* key = L"NOT_THERE";
    EXPECT_EQ(key, table.lookup(key));
    EXPECT_EQ(nullptr, table.lookup(nullptr));
}

TEST(TextTable, KeysWithEqualHashesAreOneEntry)
{
    // "Aa" and "BB" have the same Java hash code.
    ASSERT_EQ(keyHash(L"Aa"), keyHash(L"BB"));
    TextTable table;
    table.parse(L"Aa=first\nBB=second\n");
    EXPECT_EQ(1u, table.size());
    EXPECT_EQ(std::wstring(L"first"), table.lookup(L"BB"));
}

TEST(TextTable, ParsingAgainAddsAndClearEmpties)
{
    TextTable table(1049);
    table.parse(L"A=1\n");
    table.parse(L"A=2\nB=3\n");
    EXPECT_EQ(std::wstring(L"1"), table.lookup(L"A"));
    EXPECT_EQ(std::wstring(L"3"), table.lookup(L"B"));
    EXPECT_EQ(1049, table.languageId());
    table.clear();
    EXPECT_EQ(0u, table.size());
}

TEST(TextTable, LanguageChoosesItsResource)
{
    EXPECT_EQ(103, textResourceIdForLanguage(1049));
    EXPECT_EQ(105, textResourceIdForLanguage(1058));
    EXPECT_EQ(104, textResourceIdForLanguage(1033));
    EXPECT_EQ(104, textResourceIdForLanguage(2073));
    EXPECT_EQ(104, textResourceIdForLanguage(0));
}

}  // namespace
}  // namespace vantor
