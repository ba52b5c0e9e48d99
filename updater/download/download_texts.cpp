#include "updater/download/download_texts.h"

namespace vantor::download {

std::wstring chunkErrorText(std::wstring_view message, std::uint32_t chunkNum, std::int32_t downloadAttemptCountRemain,
                            std::uint32_t limit, std::uint32_t offset, std::uint32_t lastError)
{
    std::wstring text(message);
    text += L" [chunkNum=" + std::to_wstring(chunkNum);
    text += L", downloadAttemptCountRemain=" + std::to_wstring(downloadAttemptCountRemain);
    text += L", limit=" + std::to_wstring(limit);
    text += L", offset=" + std::to_wstring(offset);
    text += L"], lastError:" + std::to_wstring(lastError);
    return text;
}

std::wstring chunkDoneText(std::uint32_t chunkNum, std::wstring_view downloadId, std::wstring_view url)
{
    std::wstring text = L"Chunk #" + std::to_wstring(chunkNum) + L" is done, downloadId:";
    text += downloadId;
    text += L", url:";
    text += url;
    return text;
}

std::wstring lengthCheckText(std::wstring_view url, std::uint32_t contentLength, std::wstring_view outputName,
                             std::uint32_t outputSize)
{
    std::wstring text = L"length of [";
    text += url;
    text += L"]=" + std::to_wstring(contentLength) + L", length of downloaded file [";
    text += outputName;
    text += L"]=" + std::to_wstring(outputSize);
    return text;
}

std::wstring digestCheckText(std::wstring_view url, std::wstring_view expected, std::wstring_view outputName,
                             std::wstring_view digest)
{
    std::wstring text = L"MD5 of [";
    text += url;
    text += L"]=";
    text += expected;
    text += L", MD5 of downloaded file [";
    text += outputName;
    text += L"]=";
    text += digest;
    return text;
}

ChunkRange chunkRange(std::uint32_t contentLength, std::uint32_t chunkCount, std::uint32_t index) noexcept
{
    if (chunkCount == 0) {
        return {};
    }
    const std::uint32_t share = contentLength / chunkCount;
    const std::uint32_t remainder = contentLength % chunkCount;
    ChunkRange range;
    range.offset = index * share;
    range.limit = share + (index + 1 == chunkCount ? remainder : 0u);
    return range;
}

}  // namespace vantor::download
