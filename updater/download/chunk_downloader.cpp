#include "updater/download/chunk_downloader.h"

#include "updater/download/download_listeners.h"
#include "updater/download/download_output.h"
#include "updater/download/download_texts.h"
#include "updater/download/http_header_values.h"
#include "updater/startup/diagnostics_log.h"

namespace vantor::download {

ChunkDownloader::ChunkDownloader(std::uint32_t chunkNum, const std::wstring& url, std::uint32_t connectTimeoutMs,
                                 std::uint32_t receiveTimeoutMs, ErrorHandler& errorHandler,
                                 std::int32_t downloadAttempts, std::int32_t connectAttempts,
                                 std::uint32_t retryPauseMs, ChunkDownloaderListener& listener)
    : chunkNum(chunkNum),
      downloadAttemptCountRemain(downloadAttempts),
      connectAttemptCountRemain(connectAttempts),
      m_connection(url, connectTimeoutMs, receiveTimeoutMs),
      m_errorHandler(errorHandler),
      m_retryPauseMs(retryPauseMs),
      m_listener(listener)
{
}

bool ChunkDownloader::open(DiagnosticsLog& log, bool useHead, std::uint32_t newLimit, std::uint32_t newOffset)
{
    std::int32_t attempts = connectAttemptCountRemain;
    if (attempts < 1) {
        return false;
    }
    for (;;) {
        --attempts;
        const HINTERNET request = m_connection.open(log, useHead, newLimit, newOffset);
        if (request != nullptr) {
            m_request = request;
            limit = newLimit;
            offset = newOffset;
            return true;
        }
        m_request = nullptr;
        reportError(L"Failed open connection, connectAttemptCountRemain=" + std::to_wstring(attempts));
        m_connection.closeConnection();
        if (attempts <= 0) {
            return false;
        }
        Sleep(kConnectPauseMs);
    }
}

std::uint32_t ChunkDownloader::readBody(DiagnosticsLog& log, IDownloadOutput& output)
{
    const WinInetApi* api = winInet();
    const std::uint32_t rangeStart = offset;
    const std::uint32_t wanted = limit;
    std::uint32_t count = 0;
    DWORD lastReport = 0;
    std::uint8_t buffer[kReadSize];
    while (api != nullptr && m_request != nullptr) {
        DWORD read = 0;
        if (api->InternetReadFile(m_request, buffer, kReadSize, &read)) {
            if (read > 0) {
                if (sizeLimit != 0 && std::uint64_t{rangeStart} + count + read > sizeLimit) {
                    log.write(L"ERROR", L"Download is larger than " + std::to_wstring(sizeLimit) +
                                            L" bytes, reading stopped: " + m_connection.url());
                    m_overLimit = true;
                    break;
                }
                output.write(buffer, rangeStart + count, read);
                count += read;
                const DWORD now = GetTickCount();
                if (now - lastReport > kProgressIntervalMs) {
                    m_listener.onProgress(*this, count);
                    lastReport = now;
                }
                continue;
            }
            // The end of the body.
            if (wanted == kNoLength || count == wanted) {
                m_completed = true;
                break;
            }
            // Short of the range: start the range again.
            count = 0;
            close();
            if (downloadAttemptCountRemain < 1) {
                break;
            }
            Sleep(m_retryPauseMs);
            --downloadAttemptCountRemain;
            if (!open(log, wanted != 0, wanted, rangeStart)) {
                break;
            }
            if (m_connection.contentLength == 0) {
                reportError(L"Downloaded bytes less than the length of the content, contentLength=0, break");
                break;
            }
            reportError(L"Downloaded bytes less than the length of the content, redownload all");
            continue;
        }
        // The read failed: go on where it stopped.
        reportError(L"InternetReadFile");
        close();
        if (downloadAttemptCountRemain < 1) {
            break;
        }
        Sleep(m_retryPauseMs);
        --downloadAttemptCountRemain;
        if (!open(log, false, wanted - count, rangeStart + count)) {
            break;
        }
        reportError(L"InternetReadFile, use next attempt");
    }
    m_listener.onProgress(*this, count);
    m_listener.onChunkFinished(*this, count);
    return count;
}

void ChunkDownloader::reportError(const std::wstring& message)
{
    const DWORD lastError = GetLastError();
    m_errorHandler.onError(chunkErrorText(message, chunkNum, downloadAttemptCountRemain, limit, offset, lastError));
    SetLastError(lastError);
}

}  // namespace vantor::download
