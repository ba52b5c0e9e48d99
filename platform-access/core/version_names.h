// The Windows version names that isCorrectOSVersion knows, and the smallest
// version each one stands for. Pure: no Windows header.
#pragma once

#include <cstdint>
#include <string_view>

namespace vantor::access {

struct VersionRequirement {
    const wchar_t* name;
    std::uint32_t major;
    std::uint32_t minor;
    std::uint16_t servicePackMajor;
};

// The requirement named exactly `name` (case and length count), or null for
// a name outside the table.
const VersionRequirement* findVersionRequirement(std::wstring_view name) noexcept;

}  // namespace vantor::access
