#include "updater/download/memory_blocks.h"

#include <algorithm>
#include <cstring>

namespace vantor::download {

bool MemoryBlocks::write(const std::uint8_t* buffer, std::uint32_t position, std::uint32_t length)
{
    if (length < 1) {
        return true;
    }
    if (static_cast<std::uint64_t>(position) + length > 0xFFFFFFFFull) {
        return false;
    }
    // New blocks are not cleared: a body written from its start fills them
    // whole, and clearing first would write every byte twice. The bytes that
    // a write beyond the end skips are cleared instead, so that no byte below
    // the size is left unwritten.
    const std::uint32_t gapStart = m_size;
    const std::uint32_t end = position + length;
    while (m_blocks.size() <= (end - 1) / kBlockSize) {
        std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kBlockSize]);
        m_blocks.push_back(std::move(block));
    }
    if (position > gapStart) {
        fill(gapStart, position, nullptr);
    }
    fill(position, end, buffer);
    m_size = std::max(m_size, end);
    return true;
}

void MemoryBlocks::fill(std::uint32_t from, std::uint32_t to, const std::uint8_t* source)
{
    while (from < to) {
        const std::size_t block = from / kBlockSize;
        const std::uint32_t offsetInBlock = from % kBlockSize;
        const std::uint32_t piece = std::min(to - from, kBlockSize - offsetInBlock);
        std::uint8_t* target = m_blocks[block].get() + offsetInBlock;
        if (source != nullptr) {
            std::memcpy(target, source, piece);
            source += piece;
        } else {
            std::memset(target, 0, piece);
        }
        from += piece;
    }
}

}  // namespace vantor::download
