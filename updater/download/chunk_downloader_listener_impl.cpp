#include "chunk_downloader_listener_impl.h"

#include "chunk_downloader.h"
#include "diagnostics_log.h"
#include "download_texts.h"
#include "file_downloader.h"

namespace vantor::download {

ChunkDownloaderListenerImpl::ChunkDownloaderListenerImpl(std::wstring downloadId, DiagnosticsLog& log)
    : m_downloadId(std::move(downloadId)), m_log(log)
{
}

void ChunkDownloaderListenerImpl::onProgress(const ChunkDownloader&, std::uint32_t)
{
    CriticalSectionLock lock(m_lock);
}

void ChunkDownloaderListenerImpl::onChunkFinished(const ChunkDownloader& chunk, std::uint32_t bytes)
{
    CriticalSectionLock lock(m_lock);
    if (bytes == chunk.limit) {
        m_log.write(L"INFO", chunkDoneText(chunk.chunkNum, m_downloadId, m_owner != nullptr ? m_owner->url() : L""));
    }
}

}  // namespace vantor::download
