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
    std::uint32_t source = 0;
    std::uint32_t remaining = length;
    std::uint32_t at = position;
    while (remaining > 0) {
        const std::size_t block = at / kBlockSize;
        const std::uint32_t offsetInBlock = at % kBlockSize;
        const std::uint32_t piece = std::min(remaining, kBlockSize - offsetInBlock);
        while (m_blocks.size() <= block) {
            m_blocks.push_back(std::make_unique<std::uint8_t[]>(kBlockSize));
        }
        std::memcpy(m_blocks[block].get() + offsetInBlock, buffer + source, piece);
        m_size = std::max(m_size, at + piece);
        source += piece;
        remaining -= piece;
        at += piece;
    }
    return true;
}

std::string MemoryBlocks::bytes() const
{
    std::string result;
    result.reserve(m_size);
    std::uint32_t remaining = m_size;
    for (std::size_t block = 0; remaining > 0 && block < m_blocks.size(); ++block) {
        const std::uint32_t piece = std::min(remaining, kBlockSize);
        result.append(reinterpret_cast<const char*>(m_blocks[block].get()), piece);
        remaining -= piece;
    }
    return result;
}

}  // namespace vantor::download
