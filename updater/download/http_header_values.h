// What the downloader makes of URLs and response headers, and the request
// texts it adds. Pure: no Windows calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantor::download {

// As a content length: none was given. As a range length: up to the end.
constexpr std::uint32_t kNoLength = 0xFFFFFFFFu;

// Request flags: no cache write, keep the connection, never follow a
// redirect by itself (nor to HTTP or HTTPS); secure requests add SSL and
// ignore a wrong host name or date in the certificate.
constexpr std::uint32_t kPlainRequestFlags = 0x0460C000u;
constexpr std::uint32_t kSecureRequestFlags = 0x04E0F000u;

// True when the URL begins with "https" or "HTTPS", in exactly that case; a
// scheme in mixed case ("Https") is plain HTTP to the downloader.
bool isHttps(std::wstring_view url) noexcept;
std::uint32_t requestFlags(std::wstring_view url) noexcept;

// True when the URL starts with a scheme and "://" (a Location header may
// also name a path relative to the URL that answered).
bool isAbsoluteUrl(std::wstring_view url) noexcept;

// Accept-Ranges allows ranges only when its whole value is "bytes".
bool acceptsByteRanges(std::wstring_view value) noexcept;

// Content-Length: leading white space skipped, digits read up to the first
// other character (none gives 0), a value beyond 32 bits gives kNoLength.
std::uint32_t parseContentLength(std::wstring_view value) noexcept;

// The file name of a Content-Disposition value: group 1 of the first match of
// filename=\s*"?(\w[^";]*\w)"?\s* (word characters are ASCII letters, digits
// and the underscore), or the empty text. A name needs a word character at
// both ends, so a single-character name gives none.
std::wstring contentDispositionFileName(std::wstring_view value);

// The Range header of a request for `limit` bytes from `offset`:
// "Range: bytes=<offset>-<offset + limit - 1>" (32-bit arithmetic), when the
// server accepts ranges and the offset is not 0, or when the limit is not
// kNoLength; otherwise the empty text (no header).
std::wstring rangeHeader(bool acceptRanges, std::uint32_t limit, std::uint32_t offset);

}  // namespace vantor::download
