#include "updater/download/utf8_text_builder.h"

#include <algorithm>
#include <cstring>

namespace vantor::download {

namespace {

constexpr std::uint8_t kLastAscii = 0x7F;

// The most bytes that a lead byte announces after itself.
constexpr std::size_t kSequenceTail = 3;
static_assert(kSequenceTail < Utf8TextBuilder::kAsciiRun, "a stretch ends inside the run that ends it");

// The first byte at or after `from` that is not ASCII, or `length`; eight
// bytes at a time, since a body is mostly ASCII.
std::size_t asciiEnd(const std::uint8_t* bytes, std::size_t from, std::size_t length) noexcept
{
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    for (; from + 8 <= length; from += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + from, sizeof word);
        if ((word & kHighBits) != 0) {
            break;
        }
    }
    while (from < length && bytes[from] <= kLastAscii) {
        ++from;
    }
    return from;
}

// Where the stretch that begins at `from` ends: at the first run of
// Utf8TextBuilder::kAsciiRun ASCII bytes, or `length` when the piece ends
// first (the run at its end may go on in the next piece).
std::size_t stretchEnd(const std::uint8_t* bytes, std::size_t from, std::size_t length) noexcept
{
    std::size_t runStart = from;
    for (std::size_t i = from; i < length; ++i) {
        if (bytes[i] > kLastAscii) {
            runStart = i + 1;
        } else if (i + 1 - runStart == Utf8TextBuilder::kAsciiRun) {
            return runStart;
        }
    }
    return length;
}

}  // namespace

Utf8TextBuilder::Utf8TextBuilder(std::size_t expectedBytes, Decode decode) : m_decode(decode)
{
    m_text.reserve(expectedBytes);
}

void Utf8TextBuilder::append(const std::uint8_t* bytes, std::size_t length)
{
    std::size_t i = 0;
    while (i < length) {
        if (m_stretch.empty() && bytes[i] <= kLastAscii) {
            const std::size_t end = asciiEnd(bytes, i, length);
            widen(bytes + i, end - i);
            i = end;
            continue;
        }
        const std::size_t runStart = stretchEnd(bytes, i, length);
        if (runStart == length) {
            m_stretch.insert(m_stretch.end(), bytes + i, bytes + length);
            return;
        }
        // The stretch takes the first bytes of the run along: a lead byte
        // announces up to three more bytes, and a decoder whose input ends
        // before what a lead byte announces may replace the rest of its
        // input at once (Wine's does, ASCII included). With three ASCII
        // bytes after its last byte above 0x7F, the stretch decodes as it
        // does among all the bytes.
        const std::size_t end = runStart + kSequenceTail;
        if (m_stretch.empty()) {
            decode(bytes + i, end - i);
        } else {
            m_stretch.insert(m_stretch.end(), bytes + i, bytes + end);
            decode(m_stretch.data(), m_stretch.size());
            m_stretch.clear();
        }
        i = end;
    }
}

std::wstring Utf8TextBuilder::finish()
{
    if (!m_stretch.empty()) {
        decode(m_stretch.data(), m_stretch.size());
        m_stretch.clear();
    }
    if (m_failed) {
        return {};
    }
    return std::move(m_text);
}

void Utf8TextBuilder::widen(const std::uint8_t* bytes, std::size_t length)
{
    // Through a small buffer, so that the text's memory is written once
    // (growing the text by resize would fill it with zeros first).
    constexpr std::size_t kStaging = 2048;
    wchar_t staging[kStaging];
    while (length > 0) {
        const std::size_t count = std::min(length, kStaging);
        for (std::size_t k = 0; k < count; ++k) {
            staging[k] = static_cast<wchar_t>(bytes[k]);
        }
        m_text.append(staging, count);
        bytes += count;
        length -= count;
    }
}

void Utf8TextBuilder::decode(const std::uint8_t* bytes, std::size_t length)
{
    if (m_failed) {
        return;
    }
    const std::size_t start = m_text.size();
    m_text.resize(start + length);
    const std::size_t written = m_decode(bytes, length, m_text.data() + start);
    m_failed = written == 0;
    m_text.resize(start + written);
}

}  // namespace vantor::download
