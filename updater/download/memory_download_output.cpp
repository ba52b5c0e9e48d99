#include "updater/download/memory_download_output.h"

#include <climits>

namespace vantor::download {

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
    std::string bytes;
    {
        win::CriticalSectionLock lock(m_lock);
        bytes = m_blocks.bytes();
    }
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    // UTF-8 never decodes to more UTF-16 units than it has bytes.
    const int capacity = static_cast<int>(bytes.size());
    std::wstring text(bytes.size(), L'\0');
    const int decoded = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), capacity, text.data(), capacity);
    if (decoded <= 0) {
        return {};
    }
    text.resize(static_cast<std::size_t>(decoded));
    return text;
}

}  // namespace vantor::download
