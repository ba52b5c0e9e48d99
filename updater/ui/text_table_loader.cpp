#include "updater/ui/text_table_loader.h"

#include "common/win/unique_handle.h"

#include <windows.h>

#include <climits>
#include <vector>

namespace vantor {

namespace {

std::wstring decode(UINT codePage, const char* bytes, std::size_t length)
{
    if (length == 0 || length > static_cast<std::size_t>(INT_MAX / 2)) {
        return {};
    }
    // Every byte decodes to at most two UTF-16 units.
    std::vector<wchar_t> units(2 * length + 1, L'\0');
    const int decoded = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), units.data(),
                                            static_cast<int>(2 * length));
    return decoded > 0 ? std::wstring(units.data(), static_cast<std::size_t>(decoded)) : std::wstring();
}

}  // namespace

std::unique_ptr<TextTable> textTableFromMemory(const void* bytes, std::size_t length, int languageId)
{
    auto table = std::make_unique<TextTable>(languageId);
    if (bytes != nullptr) {
        table->parse(decode(CP_UTF8, static_cast<const char*>(bytes), length));
    }
    return table;
}

void loadTextTableFile(TextTable& table, const std::wstring& path)
{
    table.clear();
    win::Handle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > INT_MAX / 2) {
        return;
    }
    std::vector<char> bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        return;
    }
    table.parse(decode(CP_ACP, bytes.data(), read));
}

}  // namespace vantor
