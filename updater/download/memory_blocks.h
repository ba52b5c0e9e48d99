// The byte store of the memory download output: fixed blocks of 262,144
// bytes, block k holding the bytes from k x 262,144 on, so that a body whose
// length was not announced grows by whole blocks without moving what was
// already written. Pure: no Windows calls, no lock (the output adds one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vantor::download {

class MemoryBlocks {
public:
    static constexpr std::uint32_t kBlockSize = 0x40000;  // 262,144

    // Stores `length` bytes of `buffer` at byte `position`, cut into pieces
    // that never cross a block boundary, adding blocks as needed (bytes never
    // written read as zero). Size becomes the end of the furthest write; it is
    // never reduced, and a later write to the same bytes wins. A length of 0
    // stores nothing. A range whose end lies beyond 0xFFFFFFFF, where the
    // 32-bit size could not describe it, is refused whole: false, nothing
    // stored.
    bool write(const std::uint8_t* buffer, std::uint32_t position, std::uint32_t length);

    std::uint32_t size() const noexcept { return m_size; }
    std::size_t blockCount() const noexcept { return m_blocks.size(); }

    // Calls visit(bytes, length) for the first size() bytes, block after
    // block, where they lie.
    template <typename Visit>
    void forEachPiece(Visit visit) const
    {
        std::uint32_t remaining = m_size;
        for (std::size_t block = 0; remaining > 0 && block < m_blocks.size(); ++block) {
            const std::uint32_t piece = remaining < kBlockSize ? remaining : kBlockSize;
            visit(m_blocks[block].get(), piece);
            remaining -= piece;
        }
    }

private:
    // Copies the bytes from `source` (or zeros, without one) into the
    // stored range [from, to), whose blocks exist.
    void fill(std::uint32_t from, std::uint32_t to, const std::uint8_t* source);

    std::vector<std::unique_ptr<std::uint8_t[]>> m_blocks;
    std::uint32_t m_size = 0;
};

}  // namespace vantor::download
