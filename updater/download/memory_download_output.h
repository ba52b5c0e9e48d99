// A download output that keeps the bytes in memory and hands them over as
// text decoded from UTF-8.
#pragma once

#include "common/win/lock.h"
#include "updater/download/download_output.h"
#include "updater/download/memory_blocks.h"

#include <atomic>

namespace vantor::download {

class MemoryDownloadOutput final : public IDownloadOutput {
public:
    MemoryDownloadOutput() = default;
    MemoryDownloadOutput(const MemoryDownloadOutput&) = delete;
    MemoryDownloadOutput& operator=(const MemoryDownloadOutput&) = delete;

    // Ignores the name: memory needs no preparing.
    bool openOutput(const std::wstring& fileName) override;
    // Empty: this output keeps no digest, so none is compared.
    std::wstring md5() override;
    std::uint32_t size() override;
    // Serialised by the output's lock, so the pieces of two writes never
    // interleave. A range ending beyond 0xFFFFFFFF is refused (nothing is
    // stored), since the size could not describe it.
    void write(const std::uint8_t* buffer, std::uint32_t position, std::uint32_t length) override;
    void setComplete(bool success) override;
    // "memoryOutput"
    std::wstring name() override;
    bool isComplete() override;

    // The bytes held, decoded from UTF-8 (invalid sequences become U+FFFD);
    // the empty text when nothing was written or decoding fails. Called once
    // all writers have ended.
    std::wstring toText();

private:
    win::CriticalSection m_lock;
    MemoryBlocks m_blocks;
    std::atomic<bool> m_complete{false};
};

}  // namespace vantor::download
