#include "updater/download/memory_download_output.h"

#include "updater/download/utf8_text_builder.h"

#include <climits>

namespace vantor::download {

namespace {

// The system's UTF-8 decoder, which replaces each invalid sequence with
// U+FFFD.
std::size_t decodeUtf8(const std::uint8_t* bytes, std::size_t length, wchar_t* out)
{
    if (length > static_cast<std::size_t>(INT_MAX)) {
        return 0;
    }
    const int count = static_cast<int>(length);
    const int decoded = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes), count, out, count);
    return decoded > 0 ? static_cast<std::size_t>(decoded) : 0;
}

}  // namespace

bool MemoryDownloadOutput::openOutput(const std::wstring&)
{
    return true;
}

std::wstring MemoryDownloadOutput::md5()
{
    return {};
}

std::uint32_t MemoryDownloadOutput::size()
{
    win::CriticalSectionLock lock(m_lock);
    return m_blocks.size();
}

void MemoryDownloadOutput::write(const std::uint8_t* buffer, std::uint32_t position, std::uint32_t length)
{
    win::CriticalSectionLock lock(m_lock);
    m_blocks.write(buffer, position, length);
}

void MemoryDownloadOutput::setComplete(bool success)
{
    m_complete = success;
}

std::wstring MemoryDownloadOutput::name()
{
    return L"memoryOutput";
}

bool MemoryDownloadOutput::isComplete()
{
    return m_complete;
}

std::wstring MemoryDownloadOutput::toText()
{
    win::CriticalSectionLock lock(m_lock);
    const std::uint32_t size = m_blocks.size();
    if (size == 0 || size > static_cast<std::uint32_t>(INT_MAX)) {
        return {};
    }
    // The blocks are decoded where they lie, into a text reserved once: the
    // bytes are never gathered into one piece first.
    Utf8TextBuilder text(size, &decodeUtf8);
    m_blocks.forEachPiece([&text](const std::uint8_t* piece, std::uint32_t length) { text.append(piece, length); });
    return text.finish();
}

}  // namespace vantor::download
