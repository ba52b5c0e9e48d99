#include "updater/startup/path_text.h"

namespace vantor {

std::size_t lastSeparator(std::wstring_view path) noexcept
{
    for (std::size_t i = path.size(); i-- > 1;) {
        if (path[i] == L'\\' || path[i] == L'/') {
            return i;
        }
    }
    return std::wstring_view::npos;
}

std::wstring directoryOf(std::wstring_view path, std::size_t capacity)
{
    if (capacity == 0) {
        return {};
    }
    std::wstring_view copy = path.substr(0, capacity - 1);
    const std::size_t separator = lastSeparator(copy);
    if (separator != std::wstring_view::npos) {
        copy = copy.substr(0, separator);
    }
    return std::wstring(copy);
}

std::wstring fileNameOf(std::wstring_view path)
{
    const std::size_t separator = lastSeparator(path);
    if (separator == std::wstring_view::npos) {
        return {};
    }
    return std::wstring(path.substr(separator + 1));
}

}  // namespace vantor
