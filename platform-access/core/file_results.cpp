#include "platform-access/core/file_results.h"

namespace vantor::access {

std::string pathErrorBytes(std::uint32_t code)
{
    return kPathErrorPrefix + std::to_string(code);
}

std::wstring pathErrorText(std::uint32_t code)
{
    const std::string bytes = pathErrorBytes(code);
    return std::wstring(bytes.begin(), bytes.end());  // ASCII only
}

std::array<VersionNumber, 4> productVersionNumbers(std::uint32_t mostSignificant,
                                                   std::uint32_t leastSignificant) noexcept
{
    const auto high = [](std::uint32_t word) { return static_cast<std::uint16_t>(word >> 16); };
    const auto low = [](std::uint32_t word) { return static_cast<std::uint16_t>(word & 0xFFFF); };
    return {{{"VersionMajor", high(mostSignificant)},
             {"VersionMinor", low(mostSignificant)},
             {"Release", high(leastSignificant)},
             {"Build", low(leastSignificant)}}};
}

}  // namespace vantor::access
