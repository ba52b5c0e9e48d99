#include "updater/download/http_header_values.h"

#include "updater/download/json_reader.h"

namespace vantor::download {

namespace {

bool isWordCharacter(wchar_t c) noexcept
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_';
}

// Group 1 of the pattern for a name that starts at `from`: a word character,
// then the longest run of characters other than '"' and ';' that ends in a
// word character. Empty when there is none.
std::wstring_view nameAt(std::wstring_view value, std::size_t from) noexcept
{
    if (from >= value.size() || !isWordCharacter(value[from])) {
        return {};
    }
    std::size_t lastWord = std::wstring_view::npos;
    for (std::size_t i = from + 1; i < value.size() && value[i] != L'"' && value[i] != L';'; ++i) {
        if (isWordCharacter(value[i])) {
            lastWord = i;
        }
    }
    if (lastWord == std::wstring_view::npos) {
        return {};
    }
    return value.substr(from, lastWord - from + 1);
}

}  // namespace

bool isHttps(std::wstring_view url) noexcept
{
    return url.substr(0, 5) == L"https" || url.substr(0, 5) == L"HTTPS";
}

std::uint32_t requestFlags(std::wstring_view url) noexcept
{
    return isHttps(url) ? kSecureRequestFlags : kPlainRequestFlags;
}

bool isAbsoluteUrl(std::wstring_view url) noexcept
{
    const std::size_t separator = url.find(L"://");
    if (separator == 0 || separator == std::wstring_view::npos) {
        return false;
    }
    for (std::size_t i = 0; i < separator; ++i) {
        const wchar_t c = url[i];
        const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
        const bool other = (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
        if (!letter && !(i > 0 && other)) {
            return false;
        }
    }
    return true;
}

bool acceptsByteRanges(std::wstring_view value) noexcept
{
    return value == L"bytes";
}

std::uint32_t parseContentLength(std::wstring_view value) noexcept
{
    std::size_t i = 0;
    while (i < value.size() && isJsonSpace(value[i])) {
        ++i;
    }
    std::uint64_t number = 0;
    for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i) {
        number = number * 10 + static_cast<std::uint64_t>(value[i] - L'0');
        if (number > kNoLength) {
            return kNoLength;
        }
    }
    return static_cast<std::uint32_t>(number);
}

std::wstring contentDispositionFileName(std::wstring_view value)
{
    constexpr std::wstring_view kKey = L"filename=";
    for (std::size_t at = value.find(kKey); at != std::wstring_view::npos; at = value.find(kKey, at + 1)) {
        std::size_t i = at + kKey.size();
        while (i < value.size() && isJsonSpace(value[i])) {
            ++i;
        }
        // The optional quote is taken when what follows it makes a name;
        // without it a quote cannot start one.
        std::wstring_view name;
        if (i < value.size() && value[i] == L'"') {
            name = nameAt(value, i + 1);
        } else {
            name = nameAt(value, i);
        }
        if (!name.empty()) {
            return std::wstring(name);
        }
    }
    return {};
}

std::wstring rangeHeader(bool acceptRanges, std::uint32_t limit, std::uint32_t offset)
{
    if (!((acceptRanges && offset != 0) || limit != kNoLength)) {
        return {};
    }
    const std::uint32_t last = offset + limit - 1u;
    return L"Range: bytes=" + std::to_wstring(offset) + L"-" + std::to_wstring(last);
}

}  // namespace vantor::download
