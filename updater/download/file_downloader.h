// The threaded downloader: one thread per download, a probe connection that
// reads the response headers, and one thread per byte range when the server
// accepts ranges.
#pragma once

#include "updater/download/chunk_downloader_listener_impl.h"
#include "updater/download/download_listeners.h"
#include "updater/download/download_output.h"

#include "common/win/lock.h"
#include "common/win/unique_handle.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantor {
class DiagnosticsLog;
}

namespace vantor::download {

// Downloads one URL into its output and logs each step.
class FileDownloader final : public ErrorHandler {
public:
    static constexpr std::uint32_t kTimeoutMs = 5000;     // connect and receive time-outs
    static constexpr std::int32_t kAttempts = 5;          // download and connect attempts
    static constexpr std::uint32_t kRetryPauseMs = 5000;  // pause before a resumption

    FileDownloader(std::wstring url, std::shared_ptr<IDownloadOutput> output, DiagnosticsLog& log,
                   std::wstring downloadId);
    FileDownloader(const FileDownloader&) = delete;
    FileDownloader& operator=(const FileDownloader&) = delete;

    // Runs the whole download on the calling thread and says whether it
    // succeeded: the probe's open, the body (on the probe's connection, or
    // on chunk threads that this call waits for), then the digest and length
    // checks. Calls the output's setComplete with the result (not when the
    // content is below minValidSize or the output cannot be opened).
    bool download();

    // Logs the message at ERROR.
    void onError(const std::wstring& message) override;

    const std::wstring& url() const noexcept { return m_url; }
    const std::wstring& downloadId() const noexcept { return m_downloadId; }

    // The smallest acceptable content length.
    std::uint32_t minValidSize = 0;
    // Whether the probe first follows redirects with HEAD requests.
    bool useHead = false;
    // The largest acceptable content in bytes; 0 for no limit. A larger
    // announced length fails the download at once; a body that goes on past
    // it is not read further and fails the download.
    std::uint32_t maxSize = 0;

private:
    std::wstring m_url;
    std::shared_ptr<IDownloadOutput> m_output;
    std::uint32_t m_chunkCount = 1;
    DiagnosticsLog& m_log;
    ChunkDownloaderListenerImpl m_listener;
    std::wstring m_downloadId;
};

// Handed to fileDownloaderThread, which owns and frees it.
struct DownloadTask {
    std::unique_ptr<FileDownloader> downloader;
    std::wstring downloadId;
    DiagnosticsLog& log;
};

// Handed to downloadThread, which owns and frees it.
struct ChunkTask {
    std::uint32_t chunkNum = 0;
    std::shared_ptr<IDownloadOutput> output;
    FileDownloader& owner;  // also the error handler
    const std::wstring& url;  // the probe's final URL, alive until the owner's chunk threads end
    std::uint32_t connectTimeoutMs = FileDownloader::kTimeoutMs;
    std::uint32_t receiveTimeoutMs = FileDownloader::kTimeoutMs;
    std::int32_t downloadAttempts = FileDownloader::kAttempts;
    std::uint32_t retryPauseMs = FileDownloader::kRetryPauseMs;
    std::uint32_t limit = 0;
    std::uint32_t offset = 0;
    std::int32_t connectAttempts = FileDownloader::kAttempts;
    ChunkDownloaderListener& listener;
    DiagnosticsLog& log;
    std::uint32_t sizeLimit = 0;  // see ChunkDownloader::sizeLimit
};

// Thread procedures (for CreateThread). Each takes ownership of its task;
// the exit code is 0 on success and 1 otherwise. No exception leaves them.
DWORD WINAPI fileDownloaderThread(void* task);
DWORD WINAPI downloadThread(void* task);

// Starts downloads on threads of their own and waits for them.
class DownloadManager {
public:
    // How long waitAll waits for each started download.
    static constexpr DWORD kWaitMs = 10000;

    explicit DownloadManager(DiagnosticsLog& log);
    DownloadManager(const DownloadManager&) = delete;
    DownloadManager& operator=(const DownloadManager&) = delete;

    // Starts a fileDownloaderThread for a new FileDownloader of the url
    // (use-HEAD off, minValidSize 0, the given maxSize).
    void start(const std::wstring& downloadId, const std::wstring& url, std::shared_ptr<IDownloadOutput> output,
               std::uint32_t maxSize = 0);

    // Waits for each started download in turn, at most kWaitMs each, and
    // forgets them. True when every one ended with success; a download still
    // running counts as failed, is logged at ERROR ("Download did not end
    // within 10 seconds, the empty text is given: <url>") and runs on by
    // itself, owning its FileDownloader and its share of the output.
    bool waitAll();

private:
    struct StartedDownload {
        win::Handle thread;           // empty when the thread could not be started
        FileDownloader* downloader;   // owned by that thread: never touched here
        std::wstring url;
    };

    win::CriticalSection m_lock;
    DiagnosticsLog& m_log;
    std::vector<StartedDownload> m_started;
};

// What downloadToMemory reads at most unless told otherwise. The documents
// fetched into memory (the runtime descriptor) are about a hundred bytes; a
// server that sends more, or without end, gets no more than this.
constexpr std::uint32_t kMemoryDownloadLimit = 1024 * 1024;

// Downloads the url into memory and returns it decoded from UTF-8; the empty
// text on any failure, when the body is larger than `maxSize` bytes (its
// reading stops there), and when the download has not ended within 10
// seconds (it then finishes on its own thread and logs its end later).
std::wstring downloadToMemory(const std::wstring& downloadId, const std::wstring& url, DiagnosticsLog& log,
                              std::uint32_t maxSize = kMemoryDownloadLimit);

}  // namespace vantor::download
