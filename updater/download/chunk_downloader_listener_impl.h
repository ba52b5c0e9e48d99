// The chunk listener of a FileDownloader: logs each chunk that was read
// whole.
#pragma once

#include "common/win/lock.h"
#include "updater/download/download_listeners.h"

#include <string>

namespace vantor {
class DiagnosticsLog;
}

namespace vantor::download {

class FileDownloader;

class ChunkDownloaderListenerImpl final : public ChunkDownloaderListener {
public:
    // The owner is set by the FileDownloader right after, for its url.
    ChunkDownloaderListenerImpl(std::wstring downloadId, DiagnosticsLog& log);
    ChunkDownloaderListenerImpl(const ChunkDownloaderListenerImpl&) = delete;
    ChunkDownloaderListenerImpl& operator=(const ChunkDownloaderListenerImpl&) = delete;

    void setOwner(const FileDownloader* owner) noexcept { m_owner = owner; }

    // Takes and releases the lock; nothing else.
    void onProgress(const ChunkDownloader& chunk, std::uint32_t bytes) override;
    // When `bytes` equals the chunk's limit (that of its last successful
    // open), logs INFO "Chunk #<n> is done, downloadId:<id>, url:<url>". A
    // single stream (limit 0xFFFFFFFF) and a resumed chunk (limit = what was
    // left) give no line.
    void onChunkFinished(const ChunkDownloader& chunk, std::uint32_t bytes) override;

private:
    win::CriticalSection m_lock;
    std::wstring m_downloadId;
    DiagnosticsLog& m_log;
    const FileDownloader* m_owner = nullptr;
};

}  // namespace vantor::download
