// The downloader's log texts and the small rules of its checks. Pure: no
// Windows calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantor::download {

// What a ChunkDownloader reports to its error handler: the message followed
// by its state, "<message> [chunkNum=<n>, downloadAttemptCountRemain=<n>,
// limit=<n>, offset=<n>], lastError:<code>", all in decimal.
std::wstring chunkErrorText(std::wstring_view message, std::uint32_t chunkNum, std::int32_t downloadAttemptCountRemain,
                            std::uint32_t limit, std::uint32_t offset, std::uint32_t lastError);

// "Chunk #<n> is done, downloadId:<id>, url:<url>"
std::wstring chunkDoneText(std::uint32_t chunkNum, std::wstring_view downloadId, std::wstring_view url);

// "length of [<url>]=<content length>, length of downloaded file [<name>]=<size>"
std::wstring lengthCheckText(std::wstring_view url, std::uint32_t contentLength, std::wstring_view outputName,
                             std::uint32_t outputSize);

// "MD5 of [<url>]=<expected>, MD5 of downloaded file [<name>]=<digest>"
std::wstring digestCheckText(std::wstring_view url, std::wstring_view expected, std::wstring_view outputName,
                             std::wstring_view digest);

// A download has the right length when the response gave none or the output
// holds exactly that many bytes.
constexpr bool lengthMatches(std::uint32_t contentLength, std::uint32_t outputSize) noexcept
{
    return contentLength == 0xFFFFFFFFu || contentLength == outputSize;
}

// The byte range of chunk `index` of `chunkCount`: equal shares of the
// content length, the last one taking the remainder as well.
struct ChunkRange {
    std::uint32_t limit = 0;
    std::uint32_t offset = 0;
};
ChunkRange chunkRange(std::uint32_t contentLength, std::uint32_t chunkCount, std::uint32_t index) noexcept;

}  // namespace vantor::download
