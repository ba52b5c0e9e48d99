#include "updater/jvm/java_version.h"

#include <cstddef>
#include <limits>
#include <optional>
#include <string_view>

namespace vantor {

namespace {

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// The length of the run of digits at `from`.
std::size_t digitRun(std::wstring_view text, std::size_t from)
{
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end])) {
        ++end;
    }
    return end - from;
}

// The digits as a number, or nothing when it exceeds `limit`.
std::optional<std::int64_t> readNumber(std::wstring_view digits, std::int64_t limit)
{
    std::int64_t value = 0;
    for (const wchar_t c : digits) {
        const int digit = c - L'0';
        if (value > (limit - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

struct VersionGroup {
    std::wstring_view first;
    std::wstring_view second;
    std::wstring_view third;
};

// The leftmost match of "([0-9]+)\.([0-9]+)\.([0-9]+)". Digits and dots are
// disjoint, so each run is taken whole, and a match can only start where a
// run of digits starts: a later start in the same run meets the same dot
// (or the same lack of one).
std::optional<VersionGroup> findVersionGroup(std::wstring_view text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        if (!isDigit(text[start])) {
            ++start;
            continue;
        }
        const std::size_t firstLength = digitRun(text, start);
        std::size_t at = start + firstLength;
        if (at < text.size() && text[at] == L'.') {
            const std::size_t secondLength = digitRun(text, at + 1);
            const std::size_t secondEnd = at + 1 + secondLength;
            if (secondLength > 0 && secondEnd < text.size() && text[secondEnd] == L'.') {
                const std::size_t thirdLength = digitRun(text, secondEnd + 1);
                if (thirdLength > 0) {
                    return VersionGroup{text.substr(start, firstLength), text.substr(at + 1, secondLength),
                                        text.substr(secondEnd + 1, thirdLength)};
                }
            }
        }
        start = at;
    }
    return std::nullopt;
}

}  // namespace

JavaVersion parseVersion(const std::wstring& text)
{
    const std::optional<VersionGroup> group = findVersionGroup(text);
    if (!group) {
        throw VersionParseError("version text without a group of three dot-separated numbers");
    }
    constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
    const std::optional<std::int64_t> second = readNumber(group->second, kInt64Max);
    const std::optional<std::int64_t> third = readNumber(group->third, kInt64Max);
    if (!second || !third) {
        throw VersionParseError("version number out of range");
    }
    // second x 100 + third, and the first number, must each fit 32 bits. The
    // third number alone is checked first: beyond 32 bits it would make the
    // room left for the second negative, and that room, rounded toward zero,
    // would let a sum of up to 99 beyond the limit through.
    if (*third > kInt32Max || *second > (kInt32Max - *third) / 100) {
        throw VersionParseError("version number out of range");
    }
    const std::optional<std::int64_t> first = readNumber(group->first, kInt32Max);
    if (!first) {
        throw VersionParseError("version number out of range");
    }
    JavaVersion version;
    version.text = text;
    version.major = static_cast<std::int32_t>(*first);
    version.minor = static_cast<std::int32_t>(*second * 100 + *third);
    return version;
}

}  // namespace vantor
