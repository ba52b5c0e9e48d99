#include "updater/jvm/comparable_version.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(ComparableVersion, FourZeroFilledFieldsEachEndingWithADot)
{
    EXPECT_EQ(L"001.008.000.000.", comparableVersion(L"1.8.0"));
    EXPECT_EQ(L"011.000.002.000.", comparableVersion(L"11.0.2"));
    EXPECT_EQ(L"001.006.000.000.", comparableVersion(L"1.6"));
    EXPECT_EQ(L"001.008.000.001.", comparableVersion(L"1.8.0.1.9"));
    EXPECT_EQ(L"001.008.000.151.", comparableVersion(L"1.8.0_151"));
    EXPECT_EQ(L"017.000.000.000.", comparableVersion(L"17"));
    EXPECT_EQ(L"000.000.000.000.", comparableVersion(L""));
    // Longer fields are written whole.
    EXPECT_EQ(L"1000.000.000.000.", comparableVersion(L"1000.0.0"));
}

TEST(ComparableVersion, EmptyFieldsDisappear)
{
    EXPECT_EQ(L"001.008.000.000.", comparableVersion(L"1..8"));
    EXPECT_EQ(L"001.008.000.000.", comparableVersion(L"._1.8"));
    EXPECT_EQ(L"001.008.000.000.", comparableVersion(L"1._.8._"));
    EXPECT_EQ(L"000.000.000.000.", comparableVersion(L"._._"));
}

TEST(ComparableVersion, FillIsTheDigitZeroNeverABlank)
{
    const std::wstring ranked = comparableVersion(L"8.88.8");
    EXPECT_EQ(std::wstring::npos, ranked.find(L' '));
    EXPECT_EQ(L"008.088.008.000.", ranked);
    // A blank fill would rank " 8" below "10" only by the blank's code; the
    // zero fill ranks by the number.
    EXPECT_TRUE(ranksAbove(comparableVersion(L"1.10.0"), comparableVersion(L"1.8.0")));
    EXPECT_TRUE(ranksAbove(comparableVersion(L"11.0.2"), comparableVersion(L"1.8.0")));
    EXPECT_TRUE(ranksAbove(comparableVersion(L"1.8.0_151"), comparableVersion(L"1.8.0")));
}

TEST(ComparableVersion, FourDigitFieldsCompareAsText)
{
    EXPECT_TRUE(ranksAbove(comparableVersion(L"999.0.0"), comparableVersion(L"1000.0.0")));
}

TEST(ComparableVersion, WorkBufferAndFieldLimits)
{
    // 99 characters fit the work buffer of 100, 100 do not.
    const std::wstring field(48, L'9');
    const std::wstring longest = field + L"." + field + L".1";
    ASSERT_EQ(99u, longest.size());
    EXPECT_EQ(field + L"." + field + L".001.000.", comparableVersion(longest));
    EXPECT_THROW(comparableVersion(longest + L"1"), RankingError);
    EXPECT_THROW(comparableVersion(std::wstring(100, L'.')), RankingError);
    EXPECT_EQ(L"000.000.000.000.", comparableVersion(std::wstring(99, L'.')));

    // Fields of up to 48 characters, also past the fourth field.
    const std::wstring field48(48, L'7');
    EXPECT_EQ(field48 + L".001.000.000.", comparableVersion(field48 + L".1"));
    EXPECT_THROW(comparableVersion(field48 + L"7.1"), RankingError);
    EXPECT_THROW(comparableVersion(L"1.2.3.4." + field48 + L"7"), RankingError);
    EXPECT_EQ(L"001.002.003.004.", comparableVersion(L"1.2.3.4." + field48));
}

TEST(RankingPrefixes, ScoresOfBundleAndType)
{
    EXPECT_EQ(2, javaBundleScore(L"jre"));
    EXPECT_EQ(1, javaBundleScore(L"sdk"));
    EXPECT_EQ(2, binJvmDirScore(L"client"));
    EXPECT_EQ(1, binJvmDirScore(L"server"));
    for (const wchar_t* other : {L"", L"JRE", L"jdk", L"jre "}) {
        EXPECT_THROW(javaBundleScore(other), RankingError);
    }
    for (const wchar_t* other : {L"", L"Client", L"minimal"}) {
        EXPECT_THROW(binJvmDirScore(other), RankingError);
    }
    EXPECT_EQ(L"D2.B2.001.008.000.000.",
              withScorePrefix(L'D', 2, withScorePrefix(L'B', 2, comparableVersion(L"1.8.0"))));
}

TEST(RankingPrefixes, TypeOutranksBundleWhichOutranksVersion)
{
    const auto rank = [](const wchar_t* version, const wchar_t* bundle, const wchar_t* type) {
        return withScorePrefix(L'D', binJvmDirScore(type),
                               withScorePrefix(L'B', javaBundleScore(bundle), comparableVersion(version)));
    };
    // Any client above any server, whatever the version and layout.
    EXPECT_TRUE(ranksAbove(rank(L"1.6", L"sdk", L"client"), rank(L"17.0.1", L"jre", L"server")));
    // Between equal types, a "jre" above an "sdk".
    EXPECT_TRUE(ranksAbove(rank(L"1.6", L"jre", L"server"), rank(L"17.0.1", L"sdk", L"server")));
    // Between equal types and layouts, the version.
    EXPECT_TRUE(ranksAbove(rank(L"11.0.2", L"jre", L"client"), rank(L"1.8.0", L"jre", L"client")));
}

TEST(IndexOfBest, FirstOfTheGreatestWins)
{
    EXPECT_EQ(std::wstring::npos, indexOfBest({}));
    EXPECT_EQ(0u, indexOfBest({L"D2.B2.001.008.000.000."}));
    EXPECT_EQ(0u, indexOfBest({L"D2.B2.001.008.000.000.", L"D1.B2.001.008.000.000."}));
    EXPECT_EQ(1u, indexOfBest({L"D1.B2.001.008.000.000.", L"D2.B2.001.008.000.000.", L"D2.B2.001.008.000.000."}));
    // A prefix ranks below the longer text.
    EXPECT_EQ(1u, indexOfBest({L"D2.B2.", L"D2.B2.001."}));
    EXPECT_FALSE(ranksAbove(L"D2.B2.", L"D2.B2.001."));
    EXPECT_FALSE(ranksAbove(L"abc", L"abc"));
}

}  // namespace
}  // namespace vantor
