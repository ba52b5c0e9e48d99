// The UTF-16 text of UTF-8 bytes that arrive in pieces (the memory output's
// blocks), built without a copy of the bytes in one piece and without a
// second pass over the text. Pure: the decoding of what is not ASCII is the
// caller's (the platform's decoder, so that every invalid sequence is
// replaced as the platform replaces it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantor::download {

class Utf8TextBuilder {
public:
    // Decodes `length` bytes (at least 1) into `out`, which has room for
    // `length` units (UTF-8 never decodes to more UTF-16 units than it has
    // bytes), and returns the number of units written; 0 when it cannot.
    using Decode = std::size_t (*)(const std::uint8_t* bytes, std::size_t length, wchar_t* out);

    // `expectedBytes`: how many bytes will arrive, to reserve the text once.
    Utf8TextBuilder(std::size_t expectedBytes, Decode decode);

    // The next piece of the bytes. Runs of ASCII are widened here, a unit per
    // byte; the bytes from a byte above 0x7F up to and including the first
    // three bytes of the next run of at least kAsciiRun ASCII bytes (or to
    // the end) go to the decoder in one call. Such a stretch begins after an
    // ASCII byte and ends with three, and an ASCII byte is always a character
    // of its own, so no sequence is cut and the text is the one that decoding
    // all the bytes at once gives. A stretch that reaches the end of a piece
    // is kept until it ends.
    void append(const std::uint8_t* bytes, std::size_t length);

    // The text of all the pieces; the empty text when the decoder failed.
    std::wstring finish();

    // The shortest ASCII run that ends a stretch: shorter runs (the spaces
    // and punctuation of a text in another script) go to the decoder with
    // the stretch, so that it is not called once per word.
    static constexpr std::size_t kAsciiRun = 16;

private:
    void widen(const std::uint8_t* bytes, std::size_t length);
    void decode(const std::uint8_t* bytes, std::size_t length);

    Decode m_decode;
    std::wstring m_text;
    std::vector<std::uint8_t> m_stretch;  // a stretch that began in an earlier piece
    bool m_failed = false;
};

}  // namespace vantor::download
