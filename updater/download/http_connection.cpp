#include "updater/download/http_connection.h"

#include "common/text/bounded_copy.h"
#include "updater/download/http_header_values.h"
#include "updater/startup/diagnostics_log.h"

#include <vector>

namespace vantor::download {

namespace {

// Certificates from an unknown authority, for another host name or out of
// date do not stop a request.
constexpr DWORD kIgnoredCertificateErrors =
    SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

constexpr DWORD kUrlPartCapacity = 10240;
constexpr DWORD kAccountPartCapacity = 260;
constexpr DWORD kHeaderBufferBytes = 4096;

bool setNumberOption(const WinInetApi& api, HINTERNET handle, DWORD option, DWORD value)
{
    return api.InternetSetOptionW(handle, option, &value, sizeof value) != FALSE;
}

// A Location that names only a path is resolved against the URL that
// answered; an absolute one is taken as it stands.
std::wstring resolveLocation(const WinInetApi& api, const std::wstring& base, const std::wstring& location)
{
    if (isAbsoluteUrl(location)) {
        return location;
    }
    std::vector<wchar_t> buffer(kUrlPartCapacity);
    DWORD length = kUrlPartCapacity;
    if (!api.InternetCombineUrlW(base.c_str(), location.c_str(), buffer.data(), &length, ICU_NO_ENCODE)) {
        return location;
    }
    return std::wstring(buffer.data(), text::boundedLength(buffer.data(), length));
}

}  // namespace

bool crackUrl(const std::wstring& url, CrackedUrl& parts)
{
    const WinInetApi* api = winInet();
    if (api == nullptr) {
        return false;
    }
    std::vector<wchar_t> host(kUrlPartCapacity);
    std::vector<wchar_t> path(kUrlPartCapacity);
    std::vector<wchar_t> extra(kUrlPartCapacity);
    std::vector<wchar_t> user(kAccountPartCapacity);
    std::vector<wchar_t> password(kAccountPartCapacity);
    URL_COMPONENTSW components{};
    components.dwStructSize = sizeof components;
    components.lpszHostName = host.data();
    components.dwHostNameLength = kUrlPartCapacity;
    components.lpszUrlPath = path.data();
    components.dwUrlPathLength = kUrlPartCapacity;
    components.lpszExtraInfo = extra.data();
    components.dwExtraInfoLength = kUrlPartCapacity;
    components.lpszUserName = user.data();
    components.dwUserNameLength = kAccountPartCapacity;
    components.lpszPassword = password.data();
    components.dwPasswordLength = kAccountPartCapacity;
    if (!api->InternetCrackUrlW(url.c_str(), 0, 0, &components)) {
        return false;
    }
    parts.host.assign(host.data(), text::boundedLength(host.data(), kUrlPartCapacity));
    parts.path.assign(path.data(), text::boundedLength(path.data(), kUrlPartCapacity));
    parts.extra.assign(extra.data(), text::boundedLength(extra.data(), kUrlPartCapacity));
    parts.port = components.nPort;
    return true;
}

HttpConnection::HttpConnection(std::wstring url, std::uint32_t connectTimeoutMs, std::uint32_t receiveTimeoutMs)
    : m_url(std::move(url)), m_connectTimeoutMs(connectTimeoutMs), m_receiveTimeoutMs(receiveTimeoutMs)
{
}

void HttpConnection::closeConnection() noexcept
{
    m_connection.reset();
    m_internet.reset();
}

void HttpConnection::closeAll() noexcept
{
    m_request.reset();
    closeConnection();
}

bool HttpConnection::connect(DiagnosticsLog& log, const std::wstring& url, CrackedUrl& parts)
{
    const WinInetApi* api = winInet();
    bool connected = false;
    if (api != nullptr) {
        m_internet.reset(api->InternetOpenW(L"httpget", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    }
    if (m_internet) {
        // Both settings are wishes: a session that refuses them still works
        // for plain HTTP.
        setNumberOption(*api, m_internet.get(), INTERNET_OPTION_SECURITY_FLAGS, kIgnoredCertificateErrors);
        DWORD state = 0;
        DWORD stateSize = sizeof state;
        if (api->InternetQueryOptionW(m_internet.get(), INTERNET_OPTION_CONNECTED_STATE, &state, &stateSize) &&
            (state & INTERNET_STATE_DISCONNECTED_BY_USER) != 0) {
            INTERNET_CONNECTED_INFO info{INTERNET_STATE_CONNECTED, 0};
            api->InternetSetOptionW(m_internet.get(), INTERNET_OPTION_CONNECTED_STATE, &info, sizeof info);
        }
        connected = crackUrl(url, parts) && setTimeouts(*api, m_internet.get());
        if (connected) {
            m_connection.reset(api->InternetConnectW(m_internet.get(), parts.host.c_str(), parts.port, nullptr,
                                                     nullptr, INTERNET_SERVICE_HTTP, 0, 0));
            // Some WinINet implementations take the time-outs only from the
            // connection (Wine ignores them on the session and would wait on
            // a stalled read without end); its requests inherit them.
            connected = m_connection && setTimeouts(*api, m_connection.get());
        }
    }
    if (!connected) {
        const DWORD error = GetLastError();
        log.write(L"ERROR", L"Can't open connection to " + url);
        SetLastError(error);
        log.writeLastError();
        SetLastError(error);
    }
    return connected;
}

bool HttpConnection::setTimeouts(const WinInetApi& api, HINTERNET handle) const
{
    return setNumberOption(api, handle, INTERNET_OPTION_CONNECT_TIMEOUT, m_connectTimeoutMs) &&
           setNumberOption(api, handle, INTERNET_OPTION_RECEIVE_TIMEOUT, m_receiveTimeoutMs);
}

bool HttpConnection::openRequest(const wchar_t* verb, const std::wstring& url, const CrackedUrl& parts)
{
    const WinInetApi& api = *winInet();
    const std::wstring object = parts.path + parts.extra;
    m_request.reset(api.HttpOpenRequestW(m_connection.get(), verb, object.c_str(), L"HTTP/1.1", nullptr, nullptr,
                                         requestFlags(url), 0));
    if (!m_request) {
        return false;
    }
    DWORD flags = 0;
    DWORD flagsSize = sizeof flags;
    api.InternetQueryOptionW(m_request.get(), INTERNET_OPTION_SECURITY_FLAGS, &flags, &flagsSize);
    setNumberOption(api, m_request.get(), INTERNET_OPTION_SECURITY_FLAGS, flags | kIgnoredCertificateErrors);
    return true;
}

bool HttpConnection::queryHeader(DWORD query, std::wstring& value) const
{
    const WinInetApi* api = winInet();
    if (api == nullptr || !m_request) {
        return false;
    }
    wchar_t buffer[kHeaderBufferBytes / sizeof(wchar_t)];
    DWORD length = kHeaderBufferBytes;
    if (!api->HttpQueryInfoW(m_request.get(), query, buffer, &length, nullptr)) {
        return false;
    }
    value.assign(buffer, text::boundedLength(buffer, length / sizeof(wchar_t)));
    return true;
}

HINTERNET HttpConnection::open(DiagnosticsLog& log, bool useHead, std::uint32_t limit, std::uint32_t offset)
{
    m_finalUrl = m_url;
    const WinInetApi* api = winInet();
    if (api == nullptr) {
        // As a session that cannot be opened.
        CrackedUrl unused;
        connect(log, m_url, unused);
        return nullptr;
    }

    if (useHead) {
        std::wstring next = m_url;
        int hops = 0;
        while (!next.empty()) {
            m_request.reset();
            if (m_finalUrl != next) {
                log.write(L"INFO", L"Redirect " + m_finalUrl + L" -> " + next);
                m_finalUrl = next;
            }
            closeConnection();
            CrackedUrl parts;
            if (!connect(log, next, parts) || !openRequest(L"HEAD", next, parts)) {
                return nullptr;
            }
            if (!api->HttpSendRequestW(m_request.get(), nullptr, 0, nullptr, 0)) {
                const DWORD error = GetLastError();
                m_request.reset();
                SetLastError(error);
                return nullptr;
            }
            std::wstring location;
            if (!queryHeader(HTTP_QUERY_LOCATION, location) || location.empty()) {
                break;
            }
            location = resolveLocation(*api, m_finalUrl, location);
            if (hops == kMaxRedirects) {
                log.write(L"ERROR", L"Too many redirects (more than " + std::to_wstring(kMaxRedirects) +
                                        L"), not following " + m_finalUrl + L" -> " + location);
                m_request.reset();
                SetLastError(ERROR_HTTP_REDIRECT_FAILED);
                return nullptr;
            }
            ++hops;
            next = location;
        }
        readHeaders();
        if (!m_request) {
            return nullptr;
        }
        closeAll();
    }

    CrackedUrl parts;
    if (!connect(log, m_finalUrl, parts)) {
        return nullptr;
    }
    DWORD error = ERROR_SUCCESS;
    if (!openRequest(L"GET", m_finalUrl, parts)) {
        error = GetLastError();
    } else {
        const std::wstring range = rangeHeader(m_acceptRanges, limit, offset);
        if (!range.empty()) {
            api->HttpAddRequestHeadersW(m_request.get(), range.c_str(), static_cast<DWORD>(-1),
                                        HTTP_ADDREQ_FLAG_ADD);
        }
        if (!api->HttpSendRequestW(m_request.get(), nullptr, 0, nullptr, 0)) {
            error = GetLastError();
            m_request.reset();
        }
    }
    readHeaders();
    SetLastError(error);
    return m_request.get();
}

void HttpConnection::readHeaders()
{
    if (!m_request) {
        return;
    }
    std::wstring value;
    if (queryHeader(HTTP_QUERY_ACCEPT_RANGES, value)) {
        m_acceptRanges = acceptsByteRanges(value);
    }
    if (queryHeader(HTTP_QUERY_CONTENT_MD5, value)) {
        m_contentDigest = value;
    }
    contentLength = kNoLength;
    if (queryHeader(HTTP_QUERY_CONTENT_LENGTH, value)) {
        contentLength = parseContentLength(value);
    }
    if (queryHeader(HTTP_QUERY_CONTENT_DISPOSITION, value)) {
        std::wstring name = contentDispositionFileName(value);
        if (!name.empty()) {
            m_fileName = std::move(name);
        }
    }
}

}  // namespace vantor::download
