// Product versions of executables. Pure: no Windows calls.
#pragma once

#include <cstdint>
#include <tuple>

namespace vantor {

// Four 16-bit numbers, taken from the product version of an executable's fixed
// version information: the high and low halves of its most significant 32
// bits, then of its least significant 32 bits. No version information reads
// as 0.0.0.0.
struct ProductVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t build = 0;
    std::uint16_t revision = 0;

    static constexpr ProductVersion fromWords(std::uint32_t mostSignificant, std::uint32_t leastSignificant) noexcept
    {
        return ProductVersion{static_cast<std::uint16_t>(mostSignificant >> 16),
                              static_cast<std::uint16_t>(mostSignificant & 0xFFFF),
                              static_cast<std::uint16_t>(leastSignificant >> 16),
                              static_cast<std::uint16_t>(leastSignificant & 0xFFFF)};
    }
};

// Major, then minor, then build, then revision: the first difference decides.
constexpr bool isNewer(const ProductVersion& mine, const ProductVersion& theirs) noexcept
{
    return std::tie(mine.major, mine.minor, mine.build, mine.revision) >
           std::tie(theirs.major, theirs.minor, theirs.build, theirs.revision);
}

}  // namespace vantor
