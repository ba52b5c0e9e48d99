#include "updater/startup/path_text.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(PathText, SplitsAtTheLastSeparatorOfEitherKind)
{
    EXPECT_EQ(L"C:\\Program Files\\Vantor", directoryOf(L"C:\\Program Files\\Vantor\\Vantor.exe", 1024));
    EXPECT_EQ(L"Vantor.exe", fileNameOf(L"C:\\Program Files\\Vantor\\Vantor.exe"));
    EXPECT_EQ(L"C:\\a/b", directoryOf(L"C:\\a/b/c.exe", 1024));
    EXPECT_EQ(L"c.exe", fileNameOf(L"C:\\a\\b/c.exe"));
    EXPECT_EQ(L"", fileNameOf(L"C:\\folder\\"));
}

TEST(PathText, SeparatorInTheFirstPositionIsNotFound)
{
    EXPECT_EQ(L"\\x", directoryOf(L"\\x", 1024));
    EXPECT_EQ(L"", fileNameOf(L"\\x"));
    EXPECT_EQ(L"/", directoryOf(L"/", 1024));
}

TEST(PathText, WithoutSeparatorTheCopyStaysWhole)
{
    EXPECT_EQ(L"VantorUpdater.exe", directoryOf(L"VantorUpdater.exe", 1024));
    EXPECT_EQ(L"", fileNameOf(L"VantorUpdater.exe"));
    EXPECT_EQ(L"", directoryOf(L"", 1024));
}

TEST(PathText, DirectoryIsLookedForWithinTheOutputCapacity)
{
    // "C:\abc\def" in 6 characters is "C:\ab", whose folder is "C:".
    EXPECT_EQ(L"C:", directoryOf(L"C:\\abc\\def", 6));
    EXPECT_EQ(L"", directoryOf(L"C:\\abc", 0));
}

}  // namespace
}  // namespace vantor
