// One HTTP or HTTPS request for one byte range of a URL through WinINet,
// with the response headers the downloader needs. The connection never reads
// the body: its ChunkDownloader does, from the request handle that `open`
// returns.
#pragma once

#include "updater/download/wininet_api.h"

#include <cstdint>
#include <string>

namespace vantor {
class DiagnosticsLog;
}

namespace vantor::download {

struct CrackedUrl {
    std::wstring host;
    std::wstring path;
    std::wstring extra;  // the query and fragment, appended to the path in requests
    INTERNET_PORT port = 0;
};

// Splits a URL with InternetCrackUrlW into host, path, extra information and
// port (host, path and extra parts of up to 10,239 characters, user name and
// password of up to 259). False, with the last error set, when it cannot.
bool crackUrl(const std::wstring& url, CrackedUrl& parts);

class HttpConnection {
public:
    // More Location hops than this make the HEAD pass fail: a server that
    // redirects in a circle would otherwise keep it looping.
    static constexpr int kMaxRedirects = 10;

    explicit HttpConnection(std::wstring url, std::uint32_t connectTimeoutMs = 5000,
                            std::uint32_t receiveTimeoutMs = 5000);
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // Opens a GET request for `limit` bytes from `offset` (kNoLength: up to
    // the end), first following the URL's redirects with HEAD requests when
    // `useHead` is set; each hop is logged as "Redirect <from> -> <to>". The
    // GET itself never follows a redirect: whatever body it gets is the
    // content. Returns the request handle, which stays owned by this
    // connection (as do its session and connection handles) until the close
    // functions or the destructor; null on failure, with the last error set.
    // A session that cannot be opened, a URL that cannot be cracked, a time-out
    // that cannot be set or a failed InternetConnectW log ERROR "Can't open
    // connection to <url>" and the last error; a request that cannot be
    // opened or sent fails without a line.
    HINTERNET open(DiagnosticsLog& log, bool useHead, std::uint32_t limit, std::uint32_t offset);

    // Stores accept ranges, the content digest, `contentLength` and the file
    // name from the current response; nothing without a request. An absent
    // header leaves its value, except `contentLength`, which becomes
    // kNoLength first.
    void readHeaders();

    void closeRequest() noexcept { m_request.reset(); }
    // The connection and session handles.
    void closeConnection() noexcept;
    void closeAll() noexcept;

    HINTERNET request() const noexcept { return m_request.get(); }
    const std::wstring& url() const noexcept { return m_url; }
    // The URL that the GET request went to (after the HEAD pass's redirects).
    const std::wstring& finalUrl() const noexcept { return m_finalUrl; }
    bool acceptRanges() const noexcept { return m_acceptRanges; }
    const std::wstring& contentDigest() const noexcept { return m_contentDigest; }
    const std::wstring& fileName() const noexcept { return m_fileName; }

    // The response's Content-Length; kNoLength when it carried none.
    std::uint32_t contentLength = 0xFFFFFFFFu;

private:
    // A new session with the security and connected-state options, cracks
    // `url`, sets the time-outs on the session and connects to its host, and
    // sets them on the connection too. Logs the failure.
    bool connect(DiagnosticsLog& log, const std::wstring& url, CrackedUrl& parts);
    // Sets the connect and receive time-outs on a session or connection.
    bool setTimeouts(const WinInetApi& api, HINTERNET handle) const;
    bool openRequest(const wchar_t* verb, const std::wstring& url, const CrackedUrl& parts);
    bool queryHeader(DWORD query, std::wstring& value) const;

    std::wstring m_url;
    std::uint32_t m_connectTimeoutMs;
    std::uint32_t m_receiveTimeoutMs;
    std::wstring m_finalUrl;
    bool m_acceptRanges = false;
    std::wstring m_contentDigest;
    std::wstring m_fileName;
    // In the order they are opened, so that they close in reverse.
    InternetHandle m_internet;
    InternetHandle m_connection;
    InternetHandle m_request;
};

}  // namespace vantor::download
