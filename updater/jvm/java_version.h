// A Java runtime's version as the launcher compares it: the text found and
// two numbers made from its first group of three dot-separated numbers.
// Pure: no Windows calls.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vantor {

struct JavaVersion {
    std::wstring text;      // the version text as found
    std::int32_t major = 0;  // first number of the group
    std::int32_t minor = 0;  // second number x 100 + third number
};

// Raised by parseVersion when the text holds no usable version. The JVM
// chooser catches it as the failure of the step that asked.
class VersionParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses the first group of three runs of digits separated by single dots
// ("1.8.0" in "1.8.0_151" gives major 1, minor 800; "11.0.2" gives 11 and
// 2). The result keeps the whole given text. Raises VersionParseError when
// the text has no such group (for example "17", "1.8" or the empty text) or
// when a number of the group does not fit the range it is read into.
JavaVersion parseVersion(const std::wstring& text);

}  // namespace vantor
