// What the file operations of vreg64 make of the facts Windows gives them:
// the text of a path conversion that failed and the four numbers of a
// product version. Pure: no Windows header, so that it is also built and
// tested natively.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vantor::access {

// The prefix by which the Java side recognises a failed path conversion.
inline constexpr char kPathErrorPrefix[] = "Error:";

// "Error:" immediately followed by the Windows error code in decimal, for
// instance "Error:2" for a missing file: what getShortPathName and
// getLongPathName return instead of a path when a conversion fails.
std::wstring pathErrorText(std::uint32_t code);
// The same text in bytes, for the narrow implementations.
std::string pathErrorBytes(std::uint32_t code);

// One number of a product version with its key in the version map.
struct VersionNumber {
    const char* key;
    std::uint16_t value;
};

// The four numbers of a product version given as its two 32-bit words (the
// most significant first), in the order of the version map: "VersionMajor"
// and "VersionMinor" from the high and low halves of the most significant
// word, "Release" and "Build" from those of the least significant one.
std::array<VersionNumber, 4> productVersionNumbers(std::uint32_t mostSignificant,
                                                   std::uint32_t leastSignificant) noexcept;

}  // namespace vantor::access
