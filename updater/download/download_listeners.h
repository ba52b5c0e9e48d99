// What the downloader tells about its progress and its errors.
#pragma once

#include <cstdint>
#include <string>

namespace vantor::download {

class ChunkDownloader;

// Receives a chunk's progress. Its operations are called from the chunk
// threads at once. No virtual destructor: the one implementation is a member
// of its FileDownloader and dies with it.
class ChunkDownloaderListener {
public:
    // The chunk has read that many bytes so far.
    virtual void onProgress(const ChunkDownloader& chunk, std::uint32_t bytes) = 0;
    // The chunk's reading has stopped after that many bytes.
    virtual void onChunkFinished(const ChunkDownloader& chunk, std::uint32_t bytes) = 0;

protected:
    ChunkDownloaderListener() = default;
    ~ChunkDownloaderListener() = default;
    ChunkDownloaderListener(const ChunkDownloaderListener&) = default;
    ChunkDownloaderListener& operator=(const ChunkDownloaderListener&) = default;
};

// Receives the error messages of a download's connections.
class ErrorHandler {
public:
    virtual void onError(const std::wstring& message) = 0;

protected:
    ErrorHandler() = default;
    ~ErrorHandler() = default;
    ErrorHandler(const ErrorHandler&) = default;
    ErrorHandler& operator=(const ErrorHandler&) = default;
};

}  // namespace vantor::download
