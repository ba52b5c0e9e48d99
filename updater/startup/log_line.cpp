#include "updater/startup/log_line.h"

namespace vantor {

std::wstring formatLogLine(const LogTime& time, std::wstring_view level, std::wstring_view tag,
                           std::wstring_view message)
{
    std::wstring line;
    line.reserve(message.size() + level.size() + tag.size() + 48);
    line += L'[';
    line += std::to_wstring(time.year);
    line += L'_';
    line += std::to_wstring(time.month);
    line += L'_';
    line += std::to_wstring(time.day);
    line += L' ';
    line += std::to_wstring(time.hour);
    line += L':';
    line += std::to_wstring(time.minute);
    line += L':';
    line += std::to_wstring(time.second);
    line += L':';
    line += std::to_wstring(time.millisecond);
    line += L"] ";
    line += level;
    line += L" : [";
    line += tag;
    line += L"] : ";
    line += message;
    line += L"\r\n";

    const std::size_t capacity = message.size() + level.size() + 1024;
    if (line.size() > capacity - 1) {
        line.resize(capacity - 1);
    }
    return line;
}

}  // namespace vantor
