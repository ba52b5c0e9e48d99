#include "updater/startup/log_line.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(LogLine, TimeFieldsAreUnpaddedUtcDecimals)
{
    const LogTime time{2023, 3, 5, 3, 9, 7, 41};
    EXPECT_EQ(L"[2023_3_5 3:9:7:41] INFO : [DEF] : ---START---\r\n",
              formatLogLine(time, L"INFO", L"DEF", L"---START---"));
}

TEST(LogLine, EmptyMessageEndsWithSeparatorAndLineBreak)
{
    const LogTime time{2024, 12, 31, 23, 59, 59, 999};
    EXPECT_EQ(L"[2024_12_31 23:59:59:999] ERROR : [SRV] : \r\n", formatLogLine(time, L"ERROR", L"SRV", L""));
}

TEST(LogLine, LineLongerThanItsBufferIsCut)
{
    // The buffer holds message + level + 1,024 characters with the
    // terminator; only an enormous tag can overflow it.
    const LogTime time{2023, 1, 1, 0, 0, 0, 0};
    const std::wstring tag(2000, L'T');
    const std::wstring line = formatLogLine(time, L"INFO", tag, L"abc");
    EXPECT_EQ(3u + 4u + 1023u, line.size());
    EXPECT_EQ(0u, line.find(L"[2023_1_1 0:0:0:0] INFO : [TTT"));
}

TEST(LogLine, RestartsFromTheFirstByteOfTheNextKibAbove200)
{
    EXPECT_FALSE(logNeedsRestart(0));
    EXPECT_FALSE(logNeedsRestart(204800));
    EXPECT_FALSE(logNeedsRestart(205823));
    EXPECT_TRUE(logNeedsRestart(205824));
    EXPECT_TRUE(logNeedsRestart(10'000'000));
}

}  // namespace
}  // namespace vantor
