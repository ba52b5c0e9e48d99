// The downloader against nginx, a real web server, on loopback: one test per
// way of answering. The Python loopback server stays for the answers that a
// test scripts byte by byte (downloader_test.cpp).
#include "tests/support/download_test_support.h"
#include "tests/support/nginx_server.h"
#include "tests/support/test_log.h"
#include "updater/download/file_downloader.h"
#include "updater/download/memory_blocks.h"
#include "updater/download/memory_download_output.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantor::download {
namespace {

using namespace vantor::testing;

// Over the 1 MiB of downloadToMemory's default: the tests' bodies.
constexpr std::uint32_t kLargeLimit = 4 * 1024 * 1024;

// UTF-8 text over eleven memory blocks. At block boundary k (k = 1 to 10) a
// character of 1 to 4 bytes starts 0 to length - 1 bytes before it, so
// every split of every length falls on a boundary once; two-byte characters
// lead up to it, so the non-ASCII run crosses the boundary as well.
std::string textAcrossBlocks()
{
    static const char* const kCharacters[] = {"a", "\xD0\x96", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
    const std::string filler = "\xD0\x96\xE2\x82\xAC\xF0\x9F\x98\x80 a line of plain ASCII text, then \xD0\x96 "
                               "\xE2\x82\xAC\xF0\x9F\x98\x80.\n";
    std::string text;
    std::size_t boundary = 0;
    for (std::size_t length = 1; length <= 4; ++length) {
        for (std::size_t before = 0; before < length; ++before) {
            boundary += MemoryBlocks::kBlockSize;
            const std::size_t start = boundary - before;
            while (text.size() + filler.size() + 16 <= start) {
                text += filler;
            }
            if ((start - text.size()) % 2 != 0) {
                text += "a";
            }
            while (text.size() < start) {
                text += "\xD0\x96";
            }
            text += kCharacters[length - 1];
        }
    }
    for (int i = 0; i < 100; ++i) {
        text += filler;
    }
    return text;
}

class NginxDownloadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.running()); }

    std::string u(const std::wstring& url) const { return narrow(url); }

    bool logged(const std::string& message) const
    {
        const std::vector<std::string> messages = m_log.messages();
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }

    NginxServer m_server;
    TestLog m_log;
    const std::string m_text = textAcrossBlocks();
};

TEST_F(NginxDownloadTest, StaticFileIsFetchedByTheProbeAndAgainByARangedChunk)
{
    m_server.putFile(L"text.txt", m_text);
    const std::wstring url = m_server.url(L"/static/text.txt");
    EXPECT_TRUE(sameText(widen(m_text), downloadToMemory(L"JAVA_PARAMS", url, m_log.log(), kLargeLimit)));

    // The probe's whole response is sent (the system reads it off when the
    // handle closes), then the chunk asks for all of it again.
    const std::string last = std::to_string(m_text.size() - 1);
    const std::vector<std::string> expected = {"GET /static/text.txt - - 200",
                                               "GET /static/text.txt bytes=0-" + last + " - 206"};
    EXPECT_EQ(expected, m_server.requests());
    EXPECT_TRUE(logged("Chunk #0 is done, downloadId:JAVA_PARAMS, url:" + u(url)));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is SUCCESS"));

    // Over the default limit, the announced length ends it at the probe.
    EXPECT_EQ(L"", downloadToMemory(L"JAVA_PARAMS", url, m_log.log()));
    EXPECT_TRUE(logged("File " + u(url) + " is larger than 1048576 bytes"));
    EXPECT_EQ(3u, m_server.requests().size());
}

TEST_F(NginxDownloadTest, StaticFileWithoutRangesIsReadOnTheProbe)
{
    m_server.putFile(L"text.txt", m_text);
    const std::wstring url = m_server.url(L"/noranges/text.txt");
    EXPECT_TRUE(sameText(widen(m_text), downloadToMemory(L"JAVA_PARAMS", url, m_log.log(), kLargeLimit)));
    EXPECT_EQ(std::vector<std::string>{"GET /noranges/text.txt - - 200"}, m_server.requests());
    const std::string size = std::to_string(m_text.size());
    EXPECT_TRUE(logged("length of [" + u(url) + "]=" + size + ", length of downloaded file [memoryOutput]=" + size));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is SUCCESS"));
}

TEST_F(NginxDownloadTest, ChunkedBodyArrivesWhole)
{
    m_server.putFile(L"text.txt", m_text);
    m_server.putFile(L"page.txt", "head <!--# include virtual=\"/static/text.txt\" --> tail");
    const std::wstring url = m_server.url(L"/ssi/page.txt");
    EXPECT_TRUE(sameText(widen("head " + m_text + " tail"),
                         downloadToMemory(L"JAVA_PARAMS", url, m_log.log(), kLargeLimit)));
    EXPECT_TRUE(logged("length of [" + u(url) + "]=4294967295, length of downloaded file [memoryOutput]=" +
                       std::to_string(m_text.size() + 10)));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is SUCCESS"));

    // Without a length, the default limit stops the reading.
    EXPECT_EQ(L"", downloadToMemory(L"JAVA_PARAMS", url, m_log.log()));
    EXPECT_TRUE(logged("Download is larger than 1048576 bytes, reading stopped: " + u(url)));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is FAILED"));
}

TEST_F(NginxDownloadTest, BodyEndedByClosingTheConnectionArrivesWhole)
{
    m_server.putFile(L"text.txt", m_text);
    m_server.putFile(L"page.txt", "head <!--# include virtual=\"/static/text.txt\" --> tail");
    const std::wstring url = m_server.url(L"/closed/page.txt");
    EXPECT_TRUE(sameText(widen("head " + m_text + " tail"),
                         downloadToMemory(L"JAVA_PARAMS", url, m_log.log(), kLargeLimit)));
    EXPECT_TRUE(logged("length of [" + u(url) + "]=4294967295, length of downloaded file [memoryOutput]=" +
                       std::to_string(m_text.size() + 10)));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is SUCCESS"));
}

TEST_F(NginxDownloadTest, HttpsWithASelfSignedCertificateForAnotherHost)
{
    m_server.putFile(L"text.txt", m_text);
    const std::wstring url = m_server.httpsUrl(L"/static/text.txt");
    EXPECT_TRUE(sameText(widen(m_text), downloadToMemory(L"JAVA_PARAMS", url, m_log.log(), kLargeLimit)));
    EXPECT_EQ(2u, m_server.requests().size());
    EXPECT_TRUE(logged("Download [" + u(url) + "] is SUCCESS"));
}

TEST_F(NginxDownloadTest, StatusPagesAndRedirectsAreTheContent)
{
    m_server.putFile(L"small.json", "{\"minVersion\":\"1.8.0\"}");

    // nginx's own 404 page, sent with its length, is a successful download.
    const std::wstring missing = m_server.url(L"/static/missing.json");
    const std::wstring notFound = downloadToMemory(L"JAVA_PARAMS", missing, m_log.log());
    EXPECT_NE(std::wstring::npos, notFound.find(L"<h1>404 Not Found</h1>")) << narrow(notFound);
    EXPECT_TRUE(logged("Download [" + u(missing) + "] is SUCCESS"));

    // A GET does not follow a redirect: the 302 page is the text.
    const std::wstring moved = m_server.url(L"/moved/small.json");
    const std::wstring found = downloadToMemory(L"JAVA_PARAMS", moved, m_log.log());
    EXPECT_NE(std::wstring::npos, found.find(L"<h1>302 Found</h1>")) << narrow(found);

    // The HEAD pass does.
    auto output = std::make_shared<MemoryDownloadOutput>();
    FileDownloader downloader(moved, output, m_log.log(), L"ID");
    downloader.useHead = true;
    EXPECT_TRUE(downloader.download());
    EXPECT_EQ(L"{\"minVersion\":\"1.8.0\"}", output->toText());
    const std::wstring target = m_server.url(L"/static/small.json");
    EXPECT_TRUE(logged("Redirect " + u(moved) + " -> " + u(target)));

    const std::vector<std::string> expected = {
        "GET /static/missing.json - - 404", "GET /moved/small.json - - 302",
        "HEAD /moved/small.json - - 302",   "HEAD /static/small.json - - 200",
        "GET /static/small.json - - 200",   "GET /static/small.json bytes=0-21 - 206",
    };
    EXPECT_EQ(expected, m_server.requests());
}

TEST_F(NginxDownloadTest, CompressedBodyIsNeitherAskedForNorUndone)
{
    // {"minVersion":"1.8.0"} and a line end, compressed with gzip; nginx
    // sends it with "Content-Encoding: gzip" to every client.
    const std::string compressed(
        "\x1F\x8B\x08\x00\x00\x00\x00\x00\x02\x03\xAB\x56\xCA\xCD\xCC\x0B\x4B\x2D\x2A\xCE\xCC\xCF\x53\xB2\x52\x32"
        "\xD4\xB3\xD0\x33\x50\xAA\xE5\x02\x00\xCA\x23\xF7\x23\x17\x00\x00\x00",
        43);
    m_server.putFile(L"java2.json", "{\"minVersion\":\"1.8.0\"}\n");
    m_server.putFile(L"java2.json.gz", compressed);
    const std::wstring url = m_server.url(L"/gzip/java2.json");
    EXPECT_EQ(widen(compressed), downloadToMemory(L"JAVA_PARAMS", url, m_log.log()));
    // No Accept-Encoding in the request.
    EXPECT_EQ(std::vector<std::string>{"GET /gzip/java2.json - - 200"}, m_server.requests());
}

TEST_F(NginxDownloadTest, StalledReadEndsAtTheReceiveTimeOutAndResumesWhereItStopped)
{
    // The first GET stops in the middle of a four-byte character (at block
    // boundary 9) and gets nothing more for 20 seconds; the resumption asks
    // for the rest of the open-ended range, which nginx serves from the file.
    // (nginx sends the page in 32 KiB buffers and holds back one that is
    // partly filled while it waits: the stall point is a multiple of them.)
    const std::size_t stallAfter = 9 * MemoryBlocks::kBlockSize;
    ASSERT_EQ("\xF0\x9F", m_text.substr(stallAfter - 2, 2));
    m_server.putStallingFile(L"text.txt", m_text, stallAfter);
    const std::wstring url = m_server.url(L"/stall/text.txt");
    auto output = std::make_shared<MemoryDownloadOutput>();
    FileDownloader downloader(url, output, m_log.log(), L"JAVA_PARAMS");
    const DWORD start = GetTickCount();
    EXPECT_TRUE(downloader.download());
    // The 5-second receive time-out, the 5-second pause and the rest, well
    // before nginx's 20 seconds are up.
    EXPECT_LT(GetTickCount() - start, 17000u);
    EXPECT_TRUE(sameText(widen(m_text), output->toText()));

    EXPECT_EQ(1u, m_log.messagesStartingWith("InternetReadFile [chunkNum=0, downloadAttemptCountRemain=5, "
                                             "limit=4294967295, offset=0], lastError:")
                      .size());
    const std::string at = std::to_string(stallAfter);
    EXPECT_EQ(1u, m_log.messagesStartingWith("InternetReadFile, use next attempt [chunkNum=0, "
                                             "downloadAttemptCountRemain=4, limit=" +
                                             std::to_string(0xFFFFFFFFu - stallAfter) + ", offset=" + at +
                                             "], lastError:")
                      .size());
    const std::vector<std::string> requests = m_server.requests();
    EXPECT_NE(requests.end(),
              std::find(requests.begin(), requests.end(), "GET /stall/text.txt bytes=" + at + "-4294967294 - 206"));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is SUCCESS"));
}

}  // namespace
}  // namespace vantor::download
