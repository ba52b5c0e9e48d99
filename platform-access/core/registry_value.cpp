#include "platform-access/core/registry_value.h"

namespace vantor::access {

StringReading stringReadingFor(std::uint32_t type, bool wide) noexcept
{
    switch (type) {
    case kRegText:
    case kRegTextList: return StringReading::FirstText;
    case kRegExpandText: return StringReading::ExpandedText;
    case kRegBinary:
        // Only the wide form can hand raw bytes to Java (as UTF-16 units);
        // the narrow form has no such reading.
        return wide ? StringReading::RawUnits : StringReading::TypeMismatch;
    default: return StringReading::TypeMismatch;
    }
}

std::uint32_t storedNumber(const unsigned char* data, std::size_t byteCount) noexcept
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < byteCount && i < 4; ++i) {
        value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    }
    return value;
}

std::size_t formatHex(const unsigned char* data, std::size_t count, wchar_t* out, std::size_t capacity) noexcept
{
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    if (capacity == 0 || count > (capacity - 1) / 2) {
        return 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        out[2 * i] = kDigits[data[i] >> 4];
        out[2 * i + 1] = kDigits[data[i] & 0x0F];
    }
    out[2 * count] = L'\0';
    return 2 * count;
}

}  // namespace vantor::access
