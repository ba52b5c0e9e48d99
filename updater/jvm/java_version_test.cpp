#include "updater/jvm/java_version.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

struct VersionCase {
    const wchar_t* text;
    std::int32_t major;
    std::int32_t minor;
};

class ParseVersionGood : public ::testing::TestWithParam<VersionCase> {};

TEST_P(ParseVersionGood, ReadsTheFirstGroupOfThreeNumbers)
{
    const VersionCase& c = GetParam();
    const JavaVersion version = parseVersion(c.text);
    EXPECT_EQ(std::wstring(c.text), version.text);
    EXPECT_EQ(c.major, version.major);
    EXPECT_EQ(c.minor, version.minor);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseVersionGood,
    ::testing::Values(VersionCase{L"1.8.0", 1, 800}, VersionCase{L"11.0.2", 11, 2},
                      VersionCase{L"1.8.0_151", 1, 800}, VersionCase{L"java version \"1.7.0_80\"", 1, 700},
                      // The first group wins, a fourth number is ignored.
                      VersionCase{L"1.2.3.4", 1, 203}, VersionCase{L"v10.20.30 and 2.0.0", 10, 2030},
                      // A run that is not followed by a full group is passed over.
                      VersionCase{L"1..2.3.4", 2, 304}, VersionCase{L"17 then 1.8.0", 1, 800},
                      VersionCase{L"007.08.09", 7, 809},
                      // The largest numbers that still fit 32 bits.
                      VersionCase{L"2147483647.21474836.47", 2147483647, 2147483647}));

TEST(ParseVersion, FailsWithoutAGroupOfThreeNumbers)
{
    for (const wchar_t* text : {L"", L"17", L"1.8", L"1.8.", L".8.0", L"1.x.0", L"one.two.three", L"1 .8.0"}) {
        EXPECT_THROW(parseVersion(text), VersionParseError) << "text: " << ::testing::PrintToString(std::wstring(text));
    }
}

TEST(ParseVersion, FailsWhenANumberDoesNotFit)
{
    // The first number beyond 32 bits, second x 100 + third beyond 32 bits,
    // and a second number beyond 64 bits.
    for (const wchar_t* text : {L"2147483648.0.0", L"1.21474836.48", L"1.99999999999999999999.0", L"1.0.99999999999"}) {
        EXPECT_THROW(parseVersion(text), VersionParseError) << "text: " << ::testing::PrintToString(std::wstring(text));
    }
}

TEST(ParseVersion, ThirdNumberJustBeyond32BitsDoesNotFit)
{
    // A third number up to 99 beyond the 32-bit limit, with a second number
    // of 0, must fail like any other sum that does not fit, not wrap around
    // to a negative minor.
    for (const wchar_t* text : {L"0.0.2147483648", L"0.0.2147483699", L"1.1.2147483548"}) {
        EXPECT_THROW(parseVersion(text), VersionParseError) << "text: " << ::testing::PrintToString(std::wstring(text));
    }
    EXPECT_EQ(2147483647, parseVersion(L"0.0.2147483647").minor);
    EXPECT_EQ(2147483647, parseVersion(L"0.1.2147483547").minor);
}

TEST(JavaVersion, DefaultIsEmptyAndZero)
{
    const JavaVersion version;
    EXPECT_TRUE(version.text.empty());
    EXPECT_EQ(0, version.major);
    EXPECT_EQ(0, version.minor);
}

}  // namespace
}  // namespace vantor
