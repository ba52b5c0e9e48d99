#include "updater/download/chunk_downloader_listener_impl.h"

#include "updater/download/chunk_downloader.h"
#include "updater/download/download_texts.h"
#include "updater/download/file_downloader.h"
#include "updater/startup/diagnostics_log.h"

namespace vantor::download {

ChunkDownloaderListenerImpl::ChunkDownloaderListenerImpl(std::wstring downloadId, DiagnosticsLog& log)
    : m_downloadId(std::move(downloadId)), m_log(log)
{
}

void ChunkDownloaderListenerImpl::onProgress(const ChunkDownloader&, std::uint32_t)
{
    win::CriticalSectionLock lock(m_lock);
}

void ChunkDownloaderListenerImpl::onChunkFinished(const ChunkDownloader& chunk, std::uint32_t bytes)
{
    win::CriticalSectionLock lock(m_lock);
    if (bytes == chunk.limit) {
        m_log.write(L"INFO", chunkDoneText(chunk.chunkNum, m_downloadId, m_owner != nullptr ? m_owner->url() : L""));
    }
}

}  // namespace vantor::download
