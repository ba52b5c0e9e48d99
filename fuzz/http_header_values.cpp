// The response header values the downloader reads (Content-Length,
// Content-Disposition, Accept-Ranges), the URL tests of the redirect pass and
// the Range header it writes. The values arrive as UTF-16 units from the
// query buffer.
//
// The first byte chooses the mode. In the free mode the rest are pairs of
// bytes as units, and the results are checked for their shape: a file name
// is a part of the value that starts and ends with a word character and holds
// no double quote or semicolon; a content length is the value of the leading
// digits or, beyond 32 bits, "no length". In the pattern mode every byte
// picks a piece from a small alphabet of the header's own characters, and the
// file name must equal group 1 of the standard library's search for the
// pattern itself.
#include "fuzz/fuzz_support.h"

#include "updater/download/http_header_values.h"
#include "updater/download/json_reader.h"

#include <algorithm>
#include <regex>
#include <string>

namespace {

namespace dl = vantor::download;

bool isWordCharacter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_';
}

void checkFileNameShape(std::wstring_view value)
{
    const std::wstring name = dl::contentDispositionFileName(value);
    if (name.empty()) {
        return;
    }
    FUZZ_CHECK(name.size() >= 2);
    FUZZ_CHECK(isWordCharacter(name.front()) && isWordCharacter(name.back()));
    FUZZ_CHECK(name.find_first_of(L"\";") == std::wstring::npos);
    FUZZ_CHECK(value.find(name) != std::wstring_view::npos);
    FUZZ_CHECK(value.find(L"filename=") != std::wstring_view::npos);
}

void checkContentLength(std::wstring_view value)
{
    std::size_t i = 0;
    while (i < value.size() && vantor::isJsonSpace(value[i])) {
        ++i;
    }
    std::size_t end = i;
    while (end < value.size() && value[end] >= L'0' && value[end] <= L'9') {
        ++end;
    }
    std::wstring digits(value.substr(i, end - i));
    while (digits.size() > 1 && digits.front() == L'0') {
        digits.erase(0, 1);
    }
    std::uint32_t expected = 0;
    if (digits.size() > 10) {
        expected = dl::kNoLength;
    } else if (!digits.empty()) {
        const unsigned long long number = std::stoull(digits);
        expected = number > dl::kNoLength ? dl::kNoLength : static_cast<std::uint32_t>(number);
    }
    FUZZ_CHECK(dl::parseContentLength(value) == expected);
}

void checkRange(const std::uint8_t* data, std::size_t size)
{
    if (size < 9) {
        return;
    }
    const bool acceptRanges = (data[0] & 1) != 0;
    const std::uint32_t limit = static_cast<std::uint32_t>(data[1] | data[2] << 8 | data[3] << 16) |
                                static_cast<std::uint32_t>(data[4]) << 24;
    const std::uint32_t offset = static_cast<std::uint32_t>(data[5] | data[6] << 8 | data[7] << 16) |
                                 static_cast<std::uint32_t>(data[8]) << 24;
    const std::wstring header = dl::rangeHeader(acceptRanges, limit, offset);
    if (!(acceptRanges && offset != 0) && limit == dl::kNoLength) {
        FUZZ_CHECK(header.empty());
        return;
    }
    const std::uint32_t last = offset + limit - 1u;
    FUZZ_CHECK(header == L"Range: bytes=" + std::to_wstring(offset) + L"-" + std::to_wstring(last));
}

// The pieces of the pattern mode: the characters the pattern looks at, some
// that it does not, and the key itself.
const wchar_t* const kPieces[] = {L"filename=", L"\"", L";", L" ", L"\t", L"a", L"Z", L"0", L"_",
                                  L".", L"-", L"=", L"filename", L"é", L"\r\n", L"b"};

void checkAgainstPattern(const std::uint8_t* data, std::size_t size)
{
    const std::wstring value = vantor::fuzz::piecesOf(data, std::min<std::size_t>(size, 48), kPieces);
    static const std::wregex pattern(L"filename=\\s*\"?(\\w[^\";]*\\w)\"?\\s*");
    std::wsmatch match;
    std::wstring expected;
    if (std::regex_search(value, match, pattern)) {
        expected = match[1].str();
    }
    FUZZ_CHECK(dl::contentDispositionFileName(value) == expected);
    checkFileNameShape(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    if ((data[0] & 1) != 0) {
        checkAgainstPattern(data + 1, size - 1);
        return 0;
    }
    const std::wstring units = vantor::fuzz::unitsOf(data + 1, size - 1);
    const vantor::fuzz::ExactText value(units);
    checkFileNameShape(value.view());
    checkContentLength(value.view());
    FUZZ_CHECK(dl::acceptsByteRanges(value.view()) == (units == L"bytes"));
    const bool secure = units.compare(0, 5, L"https") == 0 || units.compare(0, 5, L"HTTPS") == 0;
    FUZZ_CHECK(dl::isHttps(value.view()) == secure);
    FUZZ_CHECK(dl::requestFlags(value.view()) == (secure ? dl::kSecureRequestFlags : dl::kPlainRequestFlags));
    if (dl::isAbsoluteUrl(value.view())) {
        const std::size_t separator = units.find(L"://");
        FUZZ_CHECK(separator != std::wstring::npos && separator > 0);
    }
    checkRange(data + 1, size - 1);
    return 0;
}
