#include "platform-access/core/file_results.h"

#include <gtest/gtest.h>

#include <string>

namespace vantor::access {
namespace {

TEST(FileResults, PathErrorIsThePrefixAndTheDecimalCode)
{
    EXPECT_EQ(L"Error:2", pathErrorText(2));
    EXPECT_EQ("Error:2", pathErrorBytes(2));
    EXPECT_EQ(L"Error:0", pathErrorText(0));
    EXPECT_EQ(L"Error:1392", pathErrorText(1392));
    // Codes are unsigned: an HRESULT-like code is not a negative number.
    EXPECT_EQ("Error:2147942402", pathErrorBytes(0x80070002u));
}

TEST(FileResults, ProductVersionNumbersInMapOrder)
{
    const auto numbers = productVersionNumbers(0x00010002, 0x00030004);
    const char* const keys[] = {"VersionMajor", "VersionMinor", "Release", "Build"};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        EXPECT_EQ(std::string(keys[i]), numbers[i].key);
        EXPECT_EQ(i + 1, numbers[i].value);
    }
}

TEST(FileResults, ProductVersionNumbersAreUnsignedHalves)
{
    const auto numbers = productVersionNumbers(0xFFFFFFFE, 0x80000001);
    EXPECT_EQ(65535, numbers[0].value);
    EXPECT_EQ(65534, numbers[1].value);
    EXPECT_EQ(32768, numbers[2].value);
    EXPECT_EQ(1, numbers[3].value);
}

}  // namespace
}  // namespace vantor::access
