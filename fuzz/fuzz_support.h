// Helpers shared by the fuzz targets: turning the fuzzer's bytes into the
// UTF-16 text that the Win32 layer would hand to the pure code, and a check
// that stops the run with a readable message when a property does not hold.
//
// The targets are built without windows.h, so the conversions that the Win32
// layer gets from the system (MultiByteToWideChar, the UTF-16 units of a pipe
// message or registry value) are written here for the harness.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace vantor::fuzz {

// Reports a broken property and aborts, which libFuzzer records as a crash
// together with the input that caused it. Unlike assert it stays on in
// optimised builds.
[[noreturn]] inline void fail(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition)                                              \
    do {                                                                   \
        if (!(condition)) {                                                \
            ::vantor::fuzz::fail(#condition, __FILE__, __LINE__);          \
        }                                                                  \
    } while (false)

// Pairs of bytes as little-endian UTF-16 units, as a pipe message or registry
// data arrives; an odd last byte is dropped, as the receivers do.
inline std::wstring unitsOf(const std::uint8_t* data, std::size_t size)
{
    std::wstring text(size / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return text;
}

// Each byte picks one of the pieces: texts built of a parser's own tokens,
// which reach deeper than random units do.
template <std::size_t Count>
std::wstring piecesOf(const std::uint8_t* data, std::size_t size, const wchar_t* const (&pieces)[Count])
{
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) {
        text += pieces[data[i] % Count];
    }
    return text;
}

// UTF-8 decoded to UTF-16 the way the system's conversion does it for the
// downloaded document and the language resources: code points above U+FFFF
// become surrogate pairs, and every byte that does not start a well-formed
// sequence (overlong forms, surrogates and values above U+10FFFF included)
// becomes U+FFFD.
inline std::wstring decodeUtf8(const std::uint8_t* data, std::size_t size)
{
    std::wstring text;
    text.reserve(size);
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t lead = data[i];
        std::size_t length = 0;
        std::uint32_t point = 0;
        std::uint32_t smallest = 0;
        if (lead < 0x80) {
            text += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            point = lead & 0x1F;
            smallest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            point = lead & 0x0F;
            smallest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            point = lead & 0x07;
            smallest = 0x10000;
        }
        bool wellFormed = length != 0 && i + length <= size;
        for (std::size_t k = 1; wellFormed && k < length; ++k) {
            const std::uint8_t next = data[i + k];
            wellFormed = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        wellFormed = wellFormed && point >= smallest && point <= 0x10FFFF && !(point >= 0xD800 && point <= 0xDFFF);
        if (!wellFormed) {
            text += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        if (point > 0xFFFF) {
            point -= 0x10000;
            text += static_cast<wchar_t>(0xD800 + (point >> 10));
            text += static_cast<wchar_t>(0xDC00 + (point & 0x3FF));
        } else {
            text += static_cast<wchar_t>(point);
        }
        i += length;
    }
    return text;
}

// A copy of `text` in a heap block of exactly its length, without a
// terminator or spare capacity behind it, so that the address sanitizer
// reports any read past the end of the text.
class ExactText {
public:
    explicit ExactText(std::wstring_view text) : m_size(text.size()), m_units(new wchar_t[text.size()])
    {
        text.copy(m_units.get(), text.size());
    }
    std::wstring_view view() const { return std::wstring_view(m_units.get(), m_size); }

private:
    std::size_t m_size;
    std::unique_ptr<wchar_t[]> m_units;
};

}  // namespace vantor::fuzz
