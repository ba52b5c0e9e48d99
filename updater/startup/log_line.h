// Text of one diagnostics log line. Pure: no Windows calls.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantor {

// The UTC time stamp of a line, as GetSystemTime reports it.
struct LogTime {
    unsigned year = 0;
    unsigned month = 0;
    unsigned day = 0;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    unsigned millisecond = 0;
};

// "[Y_M_D h:m:s:ms] LEVEL : [TAG] : message\r\n" with unpadded decimal time
// fields. The line is composed in a buffer of message + level + 1,024
// characters, so a longer line (only possible with a very long tag) is cut to
// that buffer's size less its terminator.
std::wstring formatLogLine(const LogTime& time, std::wstring_view level, std::wstring_view tag,
                           std::wstring_view message);

// The log file starts afresh once its size, rounded down to whole KiB, passes
// 200 KiB: that is from 205,824 bytes on.
constexpr unsigned long long kLogRestartSize = 205824;
constexpr bool logNeedsRestart(unsigned long long fileSize) noexcept
{
    return (fileSize / 1024) * 1024 > 204800;
}

}  // namespace vantor
