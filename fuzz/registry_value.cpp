// The conversions of registry data into what the registry operations hand to
// Java, on value data of any type, length and content, laid out as the query
// leaves it: at most 1,024 bytes, whatever their writer stored (no
// terminator, an odd length, a number shorter than 4 bytes).
//
// The first four bytes are the value's type, the fifth chooses the narrow or
// the wide form, the rest is the data. Properties: the reading chosen for a
// type is the documented one; a text reading ends at the first terminator
// among the whole units of the data and never reaches past them (the data
// lies in a block of exactly its length); the stored number is the
// little-endian value of at most four bytes; the hexadecimal listing has two
// lower-case digits per byte, reads back to the data, and fits the listing's
// buffer of 2 x 1,024 + 1 characters exactly when the data fits its 1,024
// bytes.
#include "fuzz/fuzz_support.h"

#include "common/text/bounded_copy.h"
#include "platform-access/core/registry_value.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

namespace access = vantor::access;

constexpr std::size_t kDataBytes = 1024;
constexpr std::size_t kHexCapacity = 2 * kDataBytes + 1;

int hexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    return -1;
}

template <typename Char>
void checkText(const unsigned char* data, std::size_t byteCount)
{
    const std::size_t units = byteCount / sizeof(Char);
    const std::unique_ptr<Char[]> exact(new Char[units]);
    std::memcpy(exact.get(), data, units * sizeof(Char));
    const std::size_t length = vantor::text::boundedLength(exact.get(), units);
    FUZZ_CHECK(length <= units);
    for (std::size_t i = 0; i < length; ++i) {
        FUZZ_CHECK(exact[i] != Char());
    }
    FUZZ_CHECK(length == units || exact[length] == Char());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    if (size < 5) {
        return 0;
    }
    const std::uint32_t type = access::storedNumber(input, 4);
    FUZZ_CHECK(type == (input[0] | input[1] << 8 | input[2] << 16 | static_cast<std::uint32_t>(input[3]) << 24));
    const bool wide = (input[4] & 1) != 0;
    const std::size_t byteCount = size - 5 < kDataBytes + 8 ? size - 5 : kDataBytes + 8;
    const std::unique_ptr<unsigned char[]> data(new unsigned char[byteCount]);
    std::memcpy(data.get(), input + 5, byteCount);

    const access::StringReading reading = access::stringReadingFor(type, wide);
    switch (type) {
    case access::kRegText:
    case access::kRegTextList: FUZZ_CHECK(reading == access::StringReading::FirstText); break;
    case access::kRegExpandText: FUZZ_CHECK(reading == access::StringReading::ExpandedText); break;
    case access::kRegBinary:
        FUZZ_CHECK(reading == (wide ? access::StringReading::RawUnits : access::StringReading::TypeMismatch));
        break;
    default: FUZZ_CHECK(reading == access::StringReading::TypeMismatch); break;
    }
    if (wide) {
        checkText<char16_t>(data.get(), byteCount);
    } else {
        checkText<char>(data.get(), byteCount);
    }

    std::uint32_t expected = 0;
    for (std::size_t i = 0; i < byteCount && i < 4; ++i) {
        expected |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    }
    FUZZ_CHECK(access::storedNumber(data.get(), byteCount) == expected);

    const std::unique_ptr<wchar_t[]> hex(new wchar_t[kHexCapacity]);
    const std::size_t digits = access::formatHex(data.get(), byteCount, hex.get(), kHexCapacity);
    if (byteCount > kDataBytes) {
        FUZZ_CHECK(digits == 0);
        return 0;
    }
    FUZZ_CHECK(digits == 2 * byteCount);
    FUZZ_CHECK(hex[digits] == L'\0');
    for (std::size_t i = 0; i < byteCount; ++i) {
        const int high = hexDigit(hex[2 * i]);
        const int low = hexDigit(hex[2 * i + 1]);
        FUZZ_CHECK(high >= 0 && low >= 0);
        FUZZ_CHECK(static_cast<unsigned>(high * 16 + low) == data[i]);
    }
    // A buffer one character short holds nothing.
    if (byteCount > 0) {
        FUZZ_CHECK(access::formatHex(data.get(), byteCount, hex.get(), 2 * byteCount) == 0);
    }
    return 0;
}
