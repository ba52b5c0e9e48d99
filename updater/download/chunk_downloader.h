// One connection of a download: opens a byte range (with retries) and reads
// its body into the output (with resumptions).
#pragma once

#include "updater/download/http_connection.h"

#include <cstdint>
#include <string>

namespace vantor::download {

class ChunkDownloaderListener;
class ErrorHandler;
class IDownloadOutput;

class ChunkDownloader {
public:
    // Pause between two connection attempts of one open.
    static constexpr DWORD kConnectPauseMs = 3000;
    // Bytes asked for by each read.
    static constexpr DWORD kReadSize = 8192;
    // Progress is reported at most this often (GetTickCount milliseconds),
    // and once more when the reading stops.
    static constexpr DWORD kProgressIntervalMs = 500;

    ChunkDownloader(std::uint32_t chunkNum, const std::wstring& url, std::uint32_t connectTimeoutMs,
                    std::uint32_t receiveTimeoutMs, ErrorHandler& errorHandler, std::int32_t downloadAttempts,
                    std::int32_t connectAttempts, std::uint32_t retryPauseMs, ChunkDownloaderListener& listener);
    ChunkDownloader(const ChunkDownloader&) = delete;
    ChunkDownloader& operator=(const ChunkDownloader&) = delete;

    // Opens the range, making up to `connectAttemptCountRemain` attempts
    // (the field itself is not used up) 3 seconds apart; each failed attempt
    // is reported as "Failed open connection, connectAttemptCountRemain=<n
    // left>". On success keeps the request and records `limit` and `offset`.
    bool open(DiagnosticsLog& log, bool useHead, std::uint32_t limit, std::uint32_t offset);

    // Reads the opened range into `output` at its offset and returns the
    // number of bytes read. An interrupted read resumes where it stopped, a
    // body that ends short of the range starts the range again; both use up
    // `downloadAttemptCountRemain` and wait the retry pause first. Sets
    // `completed` when the whole range (or, for kNoLength, the whole body) was
    // read. Tells the listener of its progress and, at the end, of the count.
    std::uint32_t readBody(DiagnosticsLog& log, IDownloadOutput& output);

    // Hands "<message> [chunkNum=.., downloadAttemptCountRemain=.., limit=..,
    // offset=..], lastError:<code>" to the error handler, with the calling
    // thread's last error as the code.
    void reportError(const std::wstring& message);

    // Closes the request, connection and session handles.
    void close() noexcept { m_connection.closeAll(); m_request = nullptr; }

    // True when readBody stopped because the body would have passed
    // `sizeLimit`.
    bool overLimit() const noexcept { return m_overLimit; }

    HttpConnection& connection() noexcept { return m_connection; }
    const HttpConnection& connection() const noexcept { return m_connection; }
    HINTERNET request() const noexcept { return m_request; }
    bool completed() const noexcept { return m_completed; }

    // The state that the listener and the error texts show. Written only by
    // the thread that runs this ChunkDownloader.
    const std::uint32_t chunkNum;
    std::uint32_t limit = 0;   // of the last successful open
    std::uint32_t offset = 0;  // of the last successful open
    std::int32_t downloadAttemptCountRemain;
    std::int32_t connectAttemptCountRemain;
    // The end of the body (its byte count from the start of the resource)
    // that readBody never reads past; 0 for none. A body that would go on
    // beyond it stops the reading with an "ERROR" line, not completed.
    std::uint32_t sizeLimit = 0;

private:
    HINTERNET m_request = nullptr;  // owned by m_connection
    HttpConnection m_connection;
    ErrorHandler& m_errorHandler;
    std::uint32_t m_retryPauseMs;
    bool m_completed = false;
    bool m_overLimit = false;
    ChunkDownloaderListener& m_listener;
};

}  // namespace vantor::download
