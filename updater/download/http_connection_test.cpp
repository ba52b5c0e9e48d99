#include "tests/support/download_test_support.h"
#include "updater/download/http_connection.h"
#include "updater/download/http_header_values.h"

#include <gtest/gtest.h>

namespace vantor::download {
namespace {

using namespace vantor::testing;

class HttpConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.running()); }

    // A path of this test's own (the server counts requests per path).
    std::wstring path(const std::wstring& rest) const
    {
        return L"/" + widen(::testing::UnitTest::GetInstance()->current_test_info()->name()) + rest;
    }

    static std::string readAll(HINTERNET request)
    {
        std::string body;
        char buffer[4096];
        DWORD read = 0;
        while (winInet()->InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) {
            body.append(buffer, read);
        }
        return body;
    }

    LoopbackServer m_server;
    TestLog m_log;
};

TEST_F(HttpConnectionTest, WholeResourceWithoutRangeHeader)
{
    const std::wstring url = m_server.url(path(L"/java2.json?size=1000&md5=abc%3D%3D"));
    HttpConnection connection(url);
    HINTERNET request = connection.open(m_log.log(), false, kNoLength, 0);
    ASSERT_NE(nullptr, request);
    EXPECT_EQ(request, connection.request());
    EXPECT_EQ(url, connection.finalUrl());
    EXPECT_EQ(1000u, connection.contentLength);
    EXPECT_FALSE(connection.acceptRanges());
    EXPECT_EQ(L"abc==", connection.contentDigest());
    EXPECT_EQ(L"", connection.fileName());
    EXPECT_EQ(patternBody(1000), readAll(request));
    connection.closeAll();
    EXPECT_EQ(nullptr, connection.request());

    const std::vector<std::string> requests = m_server.requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET " + narrow(path(L"/java2.json?size=1000&md5=abc%3D%3D")) + " -", requests[0]);
    EXPECT_TRUE(m_log.lines().empty());
}

TEST_F(HttpConnectionTest, AcceptedRangesAndARangeRequest)
{
    const std::wstring url = m_server.url(path(L"?size=1000&ranges=1"));
    HttpConnection connection(url);
    // Before any response the connection does not know about ranges, so an
    // open-ended request at offset 0 sends no header...
    ASSERT_NE(nullptr, connection.open(m_log.log(), false, kNoLength, 0));
    EXPECT_TRUE(connection.acceptRanges());
    connection.closeAll();
    // ...and a limited one does.
    HINTERNET request = connection.open(m_log.log(), false, 1000, 0);
    ASSERT_NE(nullptr, request);
    EXPECT_EQ(patternBody(1000), readAll(request));
    connection.closeAll();
    // With ranges accepted, an offset alone asks for a range too.
    request = connection.open(m_log.log(), false, 100, 900);
    ASSERT_NE(nullptr, request);
    EXPECT_EQ(100u, connection.contentLength);
    EXPECT_EQ(patternBody(1000).substr(900), readAll(request));

    const std::vector<std::string> requests = m_server.requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ(" -", requests[0].substr(requests[0].size() - 2));
    EXPECT_EQ(" bytes=0-999", requests[1].substr(requests[1].size() - 12));
    EXPECT_EQ(" bytes=900-999", requests[2].substr(requests[2].size() - 14));
}

TEST_F(HttpConnectionTest, NoContentLengthMeansNoLength)
{
    HttpConnection connection(m_server.url(path(L"?size=300&nolength=1")));
    HINTERNET request = connection.open(m_log.log(), false, kNoLength, 0);
    ASSERT_NE(nullptr, request);
    EXPECT_EQ(kNoLength, connection.contentLength);
    EXPECT_EQ(patternBody(300), readAll(request));
}

TEST_F(HttpConnectionTest, GetNeverFollowsARedirect)
{
    const std::wstring url = m_server.url(path(L"?hops=2"));
    HttpConnection connection(url);
    HINTERNET request = connection.open(m_log.log(), false, kNoLength, 0);
    ASSERT_NE(nullptr, request);
    EXPECT_EQ(url, connection.finalUrl());
    EXPECT_EQ("moved", readAll(request));
    EXPECT_EQ(1u, m_server.requests().size());
    EXPECT_TRUE(m_log.messagesStartingWith("Redirect ").empty());
}

TEST_F(HttpConnectionTest, HeadPassFollowsRedirectsAndLogsEachHop)
{
    const std::wstring url = m_server.url(path(L"?hops=3&size=50"));
    HttpConnection connection(url);
    HINTERNET request = connection.open(m_log.log(), true, kNoLength, 0);
    ASSERT_NE(nullptr, request);
    const std::wstring last = m_server.url(path(L"?hops=0&size=50"));
    EXPECT_EQ(last, connection.finalUrl());
    EXPECT_EQ(patternBody(50), readAll(request));

    const std::vector<std::string> hops = m_log.messagesStartingWith("Redirect ");
    ASSERT_EQ(3u, hops.size());
    EXPECT_EQ("Redirect " + narrow(url) + " -> " + narrow(m_server.url(path(L"?hops=2&size=50"))), hops[0]);
    EXPECT_EQ("Redirect " + narrow(m_server.url(path(L"?hops=1&size=50"))) + " -> " + narrow(last), hops[2]);

    const std::vector<std::string> requests = m_server.requests();
    ASSERT_EQ(5u, requests.size());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ("HEAD", requests[i].substr(0, 4));
    }
    EXPECT_EQ("GET " + narrow(path(L"?hops=0&size=50")) + " -", requests[4]);
}

TEST_F(HttpConnectionTest, HeadPassResolvesARelativeLocation)
{
    HttpConnection connection(m_server.url(path(L"/a?location=") + L"%2Fother%2Fb%3Fsize%3D20"));
    HINTERNET request = connection.open(m_log.log(), true, kNoLength, 0);
    ASSERT_NE(nullptr, request);
    EXPECT_EQ(m_server.url(L"/other/b?size=20"), connection.finalUrl());
    EXPECT_EQ(patternBody(20), readAll(request));
}

TEST_F(HttpConnectionTest, TenRedirectsAreFollowed)
{
    HttpConnection connection(m_server.url(path(L"?hops=10&size=10")));
    ASSERT_NE(nullptr, connection.open(m_log.log(), true, kNoLength, 0));
    EXPECT_EQ(10u, m_log.messagesStartingWith("Redirect ").size());
    EXPECT_TRUE(m_log.messagesStartingWith("Too many redirects").empty());
}

TEST_F(HttpConnectionTest, RedirectCircleEndsAfterTenHops)
{
    const std::wstring url = m_server.url(path(L"?hops=11&size=10"));
    HttpConnection connection(url);
    EXPECT_EQ(nullptr, connection.open(m_log.log(), true, kNoLength, 0));
    EXPECT_EQ(nullptr, connection.request());
    EXPECT_EQ(10u, m_log.messagesStartingWith("Redirect ").size());
    const std::vector<std::string> lines = m_log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines.back().find("] ERROR : [DEF] : Too many redirects (more than 10), not following "));
    // 11 HEAD requests and no GET.
    EXPECT_EQ(11u, m_server.requests().size());

    HttpConnection circle(m_server.url(path(L"/circle?circle=1")));
    EXPECT_EQ(nullptr, circle.open(m_log.log(), true, kNoLength, 0));
    EXPECT_EQ(22u, m_server.requests().size());
}

TEST_F(HttpConnectionTest, ContentDispositionFileName)
{
    HttpConnection quoted(m_server.url(path(L"?size=10&disposition=attachment%3B+filename%3D%22my+runtime.ebz%22")));
    ASSERT_NE(nullptr, quoted.open(m_log.log(), false, kNoLength, 0));
    EXPECT_EQ(L"my runtime.ebz", quoted.fileName());

    HttpConnection single(m_server.url(path(L"/single?size=10&disposition=attachment%3B+filename%3Dx")));
    ASSERT_NE(nullptr, single.open(m_log.log(), false, kNoLength, 0));
    EXPECT_EQ(L"", single.fileName());
}

TEST_F(HttpConnectionTest, SchemeCaseSelectsTheRequestFlags)
{
    // Mixed case is plain HTTP to the downloader, and it works.
    HttpConnection mixed(L"hTTp://127.0.0.1:" + std::to_wstring(m_server.port()) + path(L"?size=10"));
    HINTERNET request = mixed.open(m_log.log(), false, kNoLength, 0);
    ASSERT_NE(nullptr, request);
    EXPECT_EQ(patternBody(10), readAll(request));
    // "HTTPS" asks for TLS, which the plain server cannot give: the send
    // fails, without a log line.
    HttpConnection secure(L"HTTPS://127.0.0.1:" + std::to_wstring(m_server.port()) + path(L"/tls?size=10"));
    EXPECT_EQ(nullptr, secure.open(m_log.log(), false, kNoLength, 0));
    EXPECT_TRUE(m_log.lines().empty());
}

TEST(HttpsConnection, CertificateErrorsDoNotStopARequest)
{
    // The server's certificate is self-signed, names another host and
    // expired long ago.
    LoopbackServer server(true);
    ASSERT_TRUE(server.running());
    TestLog log;
    HttpConnection connection(server.url(L"/tls?size=3000&ranges=1"));
    HINTERNET request = connection.open(log.log(), false, 1000, 0);
    ASSERT_NE(nullptr, request);
    EXPECT_TRUE(connection.acceptRanges());
    std::string body;
    char buffer[4096];
    DWORD read = 0;
    while (winInet()->InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) {
        body.append(buffer, read);
    }
    EXPECT_EQ(patternBody(1000), body);
    const std::vector<std::string> requests = server.requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET /tls?size=3000&ranges=1 bytes=0-999", requests[0]);

    // A scheme in mixed case is plain HTTP, which the TLS server refuses:
    // no request of it reaches the server.
    HttpConnection mixed(L"Https://127.0.0.1:" + std::to_wstring(server.port()) + L"/tls?size=10");
    mixed.open(log.log(), false, kNoLength, 0);
    EXPECT_EQ(1u, server.requests().size());
}

TEST_F(HttpConnectionTest, RefusedConnectionFailsWithoutALogLine)
{
    HttpConnection connection(L"http://127.0.0.1:" + std::to_wstring(closedPort()) + L"/java2.json");
    EXPECT_EQ(nullptr, connection.open(m_log.log(), false, kNoLength, 0));
    EXPECT_NE(0u, GetLastError());
    EXPECT_EQ(kNoLength, connection.contentLength);
    EXPECT_TRUE(m_log.lines().empty());
}

TEST_F(HttpConnectionTest, UrlThatCannotBeCrackedIsLoggedWithItsError)
{
    for (const bool useHead : {false, true}) {
        HttpConnection connection(L"no url at all");
        EXPECT_EQ(nullptr, connection.open(m_log.log(), useHead, kNoLength, 0));
    }
    const std::vector<std::string> messages = m_log.messages();
    ASSERT_EQ(4u, messages.size());
    EXPECT_EQ("Can't open connection to no url at all", messages[0]);
    EXPECT_EQ(0u, messages[1].find("LastErrorCode #"));
    EXPECT_EQ("Can't open connection to no url at all", messages[2]);
}

TEST_F(HttpConnectionTest, HeadPassOnAnEmptyUrlOpensNothing)
{
    HttpConnection connection(L"");
    EXPECT_EQ(nullptr, connection.open(m_log.log(), true, kNoLength, 0));
    EXPECT_TRUE(m_log.lines().empty());
}

TEST(CrackUrl, Parts)
{
    CrackedUrl parts;
    ASSERT_TRUE(crackUrl(L"http://example.test:8080/path/java2.json?x=1#top", parts));
    EXPECT_EQ(L"example.test", parts.host);
    EXPECT_EQ(L"/path/java2.json", parts.path);
    EXPECT_EQ(L"?x=1#top", parts.extra);
    EXPECT_EQ(8080, parts.port);
    ASSERT_TRUE(crackUrl(L"https://example.test/", parts));
    EXPECT_EQ(443, parts.port);
    // A host name longer than its buffer is refused, not cut.
    EXPECT_FALSE(crackUrl(L"http://" + std::wstring(10240, L'h') + L"/", parts));
    EXPECT_FALSE(crackUrl(L"", parts));
}

}  // namespace
}  // namespace vantor::download
