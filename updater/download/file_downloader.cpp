#include "updater/download/file_downloader.h"

#include "common/guarded.h"
#include "updater/download/chunk_downloader.h"
#include "updater/download/download_texts.h"
#include "updater/download/http_header_values.h"
#include "updater/download/memory_download_output.h"
#include "updater/startup/diagnostics_log.h"
#include "updater/startup/path_text.h"

namespace vantor::download {

namespace {

// Chunk threads of one download. They refer to the probe's final URL and to
// their FileDownloader, so however the download ends, it waits for all of
// them before either goes.
class ChunkThreads {
public:
    ChunkThreads() = default;
    ChunkThreads(const ChunkThreads&) = delete;
    ChunkThreads& operator=(const ChunkThreads&) = delete;
    ~ChunkThreads() { waitAll(); }

    void add(HANDLE thread) { m_threads.emplace_back(thread); }

    // Waits for every thread without a time limit; true when each ended
    // with exit code 0.
    bool waitAll()
    {
        bool success = true;
        for (win::Handle& thread : m_threads) {
            WaitForSingleObject(thread.get(), INFINITE);
            DWORD code = 1;
            if (!GetExitCodeThread(thread.get(), &code) || code != 0) {
                success = false;
            }
        }
        m_threads.clear();
        return success;
    }

private:
    std::vector<win::Handle> m_threads;
};

void logNoThrow(DiagnosticsLog& log, const wchar_t* level, const wchar_t* message) noexcept
{
    // Out of memory while composing the line: the line is lost.
    guarded([&] { log.write(level, message); }, [](const char*) {});
}

}  // namespace

FileDownloader::FileDownloader(std::wstring url, std::shared_ptr<IDownloadOutput> output, DiagnosticsLog& log,
                               std::wstring downloadId)
    : m_url(std::move(url)),
      m_output(std::move(output)),
      m_log(log),
      m_listener(downloadId, log),
      m_downloadId(std::move(downloadId))
{
    m_listener.setOwner(this);
}

void FileDownloader::onError(const std::wstring& message)
{
    m_log.write(L"ERROR", message);
}

bool FileDownloader::download()
{
    ChunkDownloader probe(0, m_url, kTimeoutMs, kTimeoutMs, *this, kAttempts, kAttempts, kRetryPauseMs, m_listener);
    bool success = false;
    if (!probe.open(m_log, useHead, kNoLength, 0)) {
        m_log.write(L"INFO", L"Can't open connection to " + m_url);
    } else {
        m_log.write(L"INFO", L"Connection is opened: " + m_url);
        const HttpConnection& response = probe.connection();
        const std::uint32_t contentLength = response.contentLength;
        if (contentLength < minValidSize) {
            probe.close();
            m_output->setComplete(false);
            m_log.write(L"INFO", L"File " + m_url + L" is less then minValidSize");
            return false;
        }
        if (maxSize != 0 && contentLength != kNoLength && contentLength > maxSize) {
            probe.close();
            m_output->setComplete(false);
            m_log.write(L"ERROR", L"File " + m_url + L" is larger than " + std::to_wstring(maxSize) + L" bytes");
            return false;
        }
        std::wstring fileName = response.fileName();
        if (fileName.empty()) {
            fileName = fileNameOf(response.finalUrl());
        }
        if (!m_output->openOutput(fileName)) {
            m_log.write(L"ERROR", L"CantCreateFile_");
            probe.close();
            m_output->setComplete(false);
            return false;
        }
        const std::wstring expectedDigest = response.contentDigest();

        if (!response.acceptRanges()) {
            probe.sizeLimit = maxSize;
            success = probe.readBody(m_log, *m_output) > 0 && !probe.overLimit();
            probe.close();
        } else {
            probe.close();
            ChunkThreads threads;
            success = true;
            for (std::uint32_t i = 0; i < m_chunkCount; ++i) {
                const ChunkRange range = chunkRange(contentLength, m_chunkCount, i);
                std::unique_ptr<ChunkTask> task(new ChunkTask{i, m_output, *this, response.finalUrl(), kTimeoutMs,
                                                              kTimeoutMs, kAttempts, kRetryPauseMs, range.limit,
                                                              range.offset, kAttempts, m_listener, m_log,
                                                              maxSize});
                HANDLE thread = CreateThread(nullptr, 0, &downloadThread, task.get(), 0, nullptr);
                if (thread == nullptr) {
                    m_log.writeLastError();
                    success = false;
                    continue;
                }
                task.release();
                threads.add(thread);
            }
            success = threads.waitAll() && success;
        }

        if (!expectedDigest.empty() && success) {
            const std::wstring digest = m_output->md5();
            if (!digest.empty()) {
                m_log.write(L"INFO", digestCheckText(m_url, expectedDigest, m_output->name(), digest));
                success = digest == expectedDigest;
            }
        }
        const std::uint32_t size = m_output->size();
        m_log.write(L"INFO", lengthCheckText(m_url, contentLength, m_output->name(), size));
        success = success && lengthMatches(contentLength, size);
    }
    m_output->setComplete(success);
    m_log.write(L"INFO", L"Download [" + m_url + L"] is " + (success ? L"SUCCESS" : L"FAILED"));
    return success;
}

DWORD WINAPI fileDownloaderThread(void* parameter)
{
    std::unique_ptr<DownloadTask> task(static_cast<DownloadTask*>(parameter));
    return guarded(
        [&task]() -> DWORD {
            DiagnosticsLog& log = task->log;
            const std::wstring url = task->downloader->url();
            log.write(L"INFO", L"+++++BEGIN thread fileDownloaderThread " + url);
            log.write(L"INFO", L"Start download " + task->downloadId);
            const bool success = task->downloader->download();
            log.write(L"INFO", L"End download " + task->downloadId);
            log.write(L"INFO", L"-----END thread fileDownloaderThread" + url);
            return success ? 0 : 1;
        },
        [&task](const char*) -> DWORD {
            logNoThrow(task->log, L"ERROR", L"Exception in fileDownloaderThread");
            return 1;
        });
}

DWORD WINAPI downloadThread(void* parameter)
{
    std::unique_ptr<ChunkTask> task(static_cast<ChunkTask*>(parameter));
    return guarded(
        [&task]() -> DWORD {
            DiagnosticsLog& log = task->log;
            log.write(L"INFO", L"+++++BEGIN thread downloadThread " + task->owner.url());
            ChunkDownloader chunk(task->chunkNum, task->url, task->connectTimeoutMs, task->receiveTimeoutMs,
                                  task->owner, task->downloadAttempts, task->connectAttempts, task->retryPauseMs,
                                  task->listener);
            chunk.sizeLimit = task->sizeLimit;
            if (chunk.open(log, false, task->limit, task->offset)) {
                chunk.readBody(log, *task->output);
                chunk.close();
            }
            log.write(L"INFO", L"-----END thread downloadThread " + task->owner.url());
            return chunk.completed() ? 0 : 1;
        },
        [&task](const char*) -> DWORD {
            logNoThrow(task->log, L"ERROR", L"Exception in downloadThread");
            return 1;
        });
}

DownloadManager::DownloadManager(DiagnosticsLog& log) : m_log(log) {}

void DownloadManager::start(const std::wstring& downloadId, const std::wstring& url,
                            std::shared_ptr<IDownloadOutput> output, std::uint32_t maxSize)
{
    auto downloader = std::make_unique<FileDownloader>(url, std::move(output), m_log, downloadId);
    downloader->useHead = false;
    downloader->minValidSize = 0;
    downloader->maxSize = maxSize;
    FileDownloader* started = downloader.get();
    std::unique_ptr<DownloadTask> task(new DownloadTask{std::move(downloader), downloadId, m_log});
    HANDLE thread = CreateThread(nullptr, 0, &fileDownloaderThread, task.get(), 0, nullptr);
    if (thread == nullptr) {
        m_log.writeLastError();
        started = nullptr;
    } else {
        task.release();
    }
    m_started.push_back(StartedDownload{win::Handle(thread), started, url});
}

bool DownloadManager::waitAll()
{
    bool success = true;
    for (StartedDownload& started : m_started) {
        if (!started.thread) {
            success = false;
            continue;
        }
        if (WaitForSingleObject(started.thread.get(), kWaitMs) == WAIT_TIMEOUT) {
            // The thread's own closing lines come later, and a "SUCCESS"
            // among them is for bytes nobody reads.
            m_log.write(L"ERROR", L"Download did not end within " + std::to_wstring(kWaitMs / 1000) +
                                      L" seconds, the empty text is given: " + started.url);
        }
        DWORD code = STILL_ACTIVE;
        if (!GetExitCodeThread(started.thread.get(), &code) || code != 0) {
            success = false;
        }
    }
    win::CriticalSectionLock lock(m_lock);
    m_started.clear();
    return success;
}

std::wstring downloadToMemory(const std::wstring& downloadId, const std::wstring& url, DiagnosticsLog& log,
                              std::uint32_t maxSize)
{
    DownloadManager manager(log);
    auto output = std::make_shared<MemoryDownloadOutput>();
    manager.start(downloadId, url, output, maxSize);
    if (!manager.waitAll()) {
        return {};
    }
    return output->toText();
}

}  // namespace vantor::download
