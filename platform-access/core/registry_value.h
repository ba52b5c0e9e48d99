// How the registry operations turn the bytes of a registry value into what
// they hand to Java. Pure: no Windows header, so that it is also built and
// tested natively.
//
// Registry data is whatever its writer stored: a text value need not end in
// a terminator, may hold an odd number of bytes, and a number value may be
// shorter than 4 bytes. Everything here reads only the bytes that the query
// reported, never the rest of the buffer. (The text of a value is measured
// with text::boundedLength over the whole characters among those bytes.)
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantor::access {

// The registry value types the library knows (the Windows REG_* numbers).
enum RegistryType : std::uint32_t {
    kRegText = 1,        // REG_SZ
    kRegExpandText = 2,  // REG_EXPAND_SZ
    kRegBinary = 3,      // REG_BINARY
    kRegNumber = 4,      // REG_DWORD
    kRegTextList = 7,    // REG_MULTI_SZ
};

// Root numbers of the Java side: 1 classes root, 2 current config, 3 local
// machine, 4 current user, 5 users.
constexpr int kRootNumberCount = 5;
constexpr bool isKnownRootNumber(int number) noexcept
{
    return number >= 1 && number <= kRootNumberCount;
}

// What readStringValue makes of a value of `type`.
enum class StringReading {
    FirstText,     // the text up to its first terminator (a list gives its first text)
    ExpandedText,  // that text with its environment references substituted
    RawUnits,      // all data as UTF-16 units, an odd last byte dropped
    TypeMismatch,  // not readable as a string
};
StringReading stringReadingFor(std::uint32_t type, bool wide) noexcept;

// The number stored little-endian in the first (at most 4) bytes of `data`;
// missing high bytes count as zero.
std::uint32_t storedNumber(const unsigned char* data, std::size_t byteCount) noexcept;

// Writes `count` bytes as lower-case hexadecimal, two digits per byte in byte
// order, and a terminator. `capacity` must be at least 2 * count + 1; with
// less, nothing is written and 0 returned. Returns the number of digits.
std::size_t formatHex(const unsigned char* data, std::size_t count, wchar_t* out, std::size_t capacity) noexcept;

}  // namespace vantor::access
