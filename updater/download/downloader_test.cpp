#include "tests/support/download_test_support.h"
#include "updater/download/file_downloader.h"
#include "updater/download/http_header_values.h"
#include "updater/download/memory_download_output.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantor::download {
namespace {

using namespace vantor::testing;

class DownloaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.running()); }

    std::wstring path(const std::wstring& rest) const
    {
        return L"/" + widen(::testing::UnitTest::GetInstance()->current_test_info()->name()) + rest;
    }

    std::string u(const std::wstring& url) const { return narrow(url); }

    bool logged(const std::string& message) const
    {
        const std::vector<std::string> messages = m_log.messages();
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }

    LoopbackServer m_server;
    TestLog m_log;
};

// An output that keeps its bytes in memory but reports a digest and may
// refuse to open, to reach the checks that the memory output skips.
class DigestOutput final : public IDownloadOutput {
public:
    DigestOutput(std::wstring digest, bool opens) : m_digest(std::move(digest)), m_opens(opens) {}
    bool openOutput(const std::wstring& fileName) override
    {
        openedAs = fileName;
        return m_opens;
    }
    std::wstring md5() override { return m_digest; }
    std::uint32_t size() override { return m_memory.size(); }
    void write(const std::uint8_t* buffer, std::uint32_t position, std::uint32_t length) override
    {
        m_memory.write(buffer, position, length);
    }
    void setComplete(bool success) override
    {
        completeCalls++;
        complete = success;
    }
    std::wstring name() override { return L"digestOutput"; }
    bool isComplete() override { return complete; }

    std::wstring openedAs;
    int completeCalls = 0;
    bool complete = false;

private:
    MemoryDownloadOutput m_memory;
    std::wstring m_digest;
    bool m_opens;
};

TEST_F(DownloaderTest, SingleStreamWithLength)
{
    const std::wstring url = m_server.url(path(L"/java2.json?size=1000"));
    EXPECT_TRUE(sameText(widen(patternBody(1000)), downloadToMemory(L"JAVA_PARAMS", url, m_log.log())));

    const std::vector<std::string> expected = {
        "+++++BEGIN thread fileDownloaderThread " + u(url),
        "Start download JAVA_PARAMS",
        "Connection is opened: " + u(url),
        "length of [" + u(url) + "]=1000, length of downloaded file [memoryOutput]=1000",
        "Download [" + u(url) + "] is SUCCESS",
        "End download JAVA_PARAMS",
        "-----END thread fileDownloaderThread" + u(url),
    };
    EXPECT_EQ(expected, m_log.messages());
    const std::vector<std::string> requests = m_server.requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(" -", requests[0].substr(requests[0].size() - 2));
}

TEST_F(DownloaderTest, SingleStreamWithoutLength)
{
    const std::wstring url = m_server.url(path(L"?size=70000&nolength=1"));
    EXPECT_TRUE(sameText(widen(patternBody(70000)), downloadToMemory(L"JAVA_PARAMS", url, m_log.log())));
    EXPECT_TRUE(logged("length of [" + u(url) + "]=4294967295, length of downloaded file [memoryOutput]=70000"));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is SUCCESS"));
}

TEST_F(DownloaderTest, EmptyBodyOnASingleStreamFails)
{
    const std::wstring url = m_server.url(path(L"?size=0"));
    EXPECT_EQ(L"", downloadToMemory(L"JAVA_PARAMS", url, m_log.log()));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is FAILED"));
}

TEST_F(DownloaderTest, AcceptedRangesGoToAChunkThread)
{
    const std::wstring url = m_server.url(path(L"?size=1000&ranges=1"));
    EXPECT_TRUE(sameText(widen(patternBody(1000)), downloadToMemory(L"JAVA_PARAMS", url, m_log.log())));

    const std::vector<std::string> requests = m_server.requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(" -", requests[0].substr(requests[0].size() - 2));
    EXPECT_EQ(" bytes=0-999", requests[1].substr(requests[1].size() - 12));
    EXPECT_TRUE(logged("+++++BEGIN thread downloadThread " + u(url)));
    EXPECT_TRUE(logged("Chunk #0 is done, downloadId:JAVA_PARAMS, url:" + u(url)));
    EXPECT_TRUE(logged("-----END thread downloadThread " + u(url)));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is SUCCESS"));
}

TEST_F(DownloaderTest, MemoryDownloadsStopAtTheirSizeLimit)
{
    // Within a raised limit a large ranged body arrives whole.
    const std::wstring large = m_server.url(path(L"/large?size=1500000&ranges=1"));
    EXPECT_TRUE(sameText(widen(patternBody(1500000)), downloadToMemory(L"JAVA_PARAMS", large, m_log.log(), 2000000)));

    // The same body over the default 1 MiB: its announced length ends it.
    EXPECT_EQ(L"", downloadToMemory(L"JAVA_PARAMS", large, m_log.log()));
    EXPECT_TRUE(logged("File " + u(large) + " is larger than 1048576 bytes"));

    // A body without end and without a length: the reading stops at the
    // limit, the thread ends well within the 10-second wait, and the server
    // sees the connection go after a bounded number of bytes.
    const std::wstring endless = m_server.url(path(L"/endless?endless=1"));
    const DWORD start = GetTickCount();
    EXPECT_EQ(L"", downloadToMemory(L"JAVA_PARAMS", endless, m_log.log()));
    EXPECT_LT(GetTickCount() - start, 9000u);
    EXPECT_TRUE(logged("Download is larger than 1048576 bytes, reading stopped: " + u(endless)));
    EXPECT_TRUE(logged("Download [" + u(endless) + "] is FAILED"));
    EXPECT_TRUE(logged("-----END thread fileDownloaderThread" + u(endless)));
    std::vector<std::string> sent;
    for (int i = 0; i < 100 && sent.empty(); ++i) {
        Sleep(50);
        sent = m_server.endlessBodiesSent();
    }
    ASSERT_EQ(1u, sent.size());
    EXPECT_LT(std::stoull(sent[0].substr(sent[0].rfind(' ') + 1)), 32ull * 1024 * 1024) << sent[0];
}

TEST_F(DownloaderTest, RedirectAnsweredToTheGetIsTheContent)
{
    const std::wstring url = m_server.url(path(L"?hops=1"));
    EXPECT_EQ(L"moved", downloadToMemory(L"JAVA_PARAMS", url, m_log.log()));
    EXPECT_EQ(1u, m_server.requests().size());
}

TEST_F(DownloaderTest, HeadPassOfTheProbeFollowsRedirects)
{
    auto output = std::make_shared<DigestOutput>(L"", true);
    const std::wstring url = m_server.url(path(L"/start?hops=2&size=64"));
    FileDownloader downloader(url, output, m_log.log(), L"ID");
    downloader.useHead = true;
    EXPECT_TRUE(downloader.download());
    EXPECT_EQ(2u, m_log.messagesStartingWith("Redirect ").size());
    // The file name comes from the final URL.
    EXPECT_EQ(L"start?hops=0&size=64", output->openedAs);
    EXPECT_TRUE(output->complete);
}

TEST_F(DownloaderTest, FileNameFromContentDisposition)
{
    auto output = std::make_shared<DigestOutput>(L"", true);
    FileDownloader downloader(m_server.url(path(L"?size=5&disposition=attachment%3B+filename%3Djre2_packed.ebz")),
                              output, m_log.log(), L"ID");
    EXPECT_TRUE(downloader.download());
    EXPECT_EQ(L"jre2_packed.ebz", output->openedAs);
}

TEST_F(DownloaderTest, DigestIsComparedWhenTheOutputHasOne)
{
    const std::wstring url = m_server.url(path(L"?size=100&md5=c2VydmVy"));
    auto differs = std::make_shared<DigestOutput>(L"b3RoZXI=", true);
    FileDownloader first(url, differs, m_log.log(), L"ID");
    EXPECT_FALSE(first.download());
    EXPECT_TRUE(logged("MD5 of [" + u(url) + "]=c2VydmVy, MD5 of downloaded file [digestOutput]=b3RoZXI="));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is FAILED"));
    EXPECT_EQ(1, differs->completeCalls);
    EXPECT_FALSE(differs->complete);

    auto same = std::make_shared<DigestOutput>(L"c2VydmVy", true);
    FileDownloader second(url, same, m_log.log(), L"ID");
    EXPECT_TRUE(second.download());
    EXPECT_TRUE(same->complete);
}

TEST_F(DownloaderTest, MemoryOutputSkipsTheDigest)
{
    const std::wstring url = m_server.url(path(L"?size=100&md5=c2VydmVy"));
    EXPECT_TRUE(sameText(widen(patternBody(100)), downloadToMemory(L"JAVA_PARAMS", url, m_log.log())));
    EXPECT_TRUE(m_log.messagesStartingWith("MD5 of").empty());
}

TEST_F(DownloaderTest, ContentBelowTheMinimumSize)
{
    const std::wstring url = m_server.url(path(L"?size=1000"));
    auto output = std::make_shared<DigestOutput>(L"", true);
    FileDownloader downloader(url, output, m_log.log(), L"ID");
    downloader.minValidSize = 1001;
    EXPECT_FALSE(downloader.download());
    EXPECT_TRUE(logged("File " + u(url) + " is less then minValidSize"));
    EXPECT_TRUE(m_log.messagesStartingWith("Download [").empty());
    EXPECT_EQ(1, output->completeCalls);
    EXPECT_FALSE(output->complete);
}

TEST_F(DownloaderTest, OutputThatCannotBeOpened)
{
    auto output = std::make_shared<DigestOutput>(L"", false);
    FileDownloader downloader(m_server.url(path(L"/file.bin?size=10")), output, m_log.log(), L"ID");
    EXPECT_FALSE(downloader.download());
    EXPECT_EQ(L"file.bin?size=10", output->openedAs);
    const std::vector<std::string> lines = m_log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines.back().find("] ERROR : [DEF] : CantCreateFile_"));
    EXPECT_EQ(1, output->completeCalls);
}

TEST_F(DownloaderTest, LengthMismatchFails)
{
    // The connection closes after 600 of the 1,000 announced bytes.
    const std::wstring url = m_server.url(path(L"?size=1000&fail1=cut:600"));
    EXPECT_EQ(L"", downloadToMemory(L"JAVA_PARAMS", url, m_log.log()));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is FAILED"));
    EXPECT_EQ(1u, m_log.messagesStartingWith("length of [" + u(url) + "]=1000, length of downloaded file [memoryOutput]=")
                      .size());
}

// The slow cases: each waits out at least one retry pause.

TEST_F(DownloaderTest, ShortChunkIsDownloadedAgainWholeAfterAHeadPass)
{
    // The chunk's first GET (the second GET of the path) ends after 400
    // bytes without having announced a length.
    const std::wstring url = m_server.url(path(L"?size=1000&ranges=1&fail2=short:400"));
    EXPECT_TRUE(sameText(widen(patternBody(1000)), downloadToMemory(L"JAVA_PARAMS", url, m_log.log())));

    const std::vector<std::string> requests = m_server.requests();
    ASSERT_EQ(4u, requests.size());
    EXPECT_EQ(" bytes=0-999", requests[1].substr(requests[1].size() - 12));
    EXPECT_EQ("HEAD", requests[2].substr(0, 4));
    EXPECT_EQ(" bytes=0-999", requests[3].substr(requests[3].size() - 12));
    const std::vector<std::string> errors =
        m_log.messagesStartingWith("Downloaded bytes less than the length of the content, redownload all");
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(0u, errors[0].find("Downloaded bytes less than the length of the content, redownload all [chunkNum=0, "
                                 "downloadAttemptCountRemain=4, limit=1000, offset=0], lastError:"));
    EXPECT_TRUE(logged("Chunk #0 is done, downloadId:JAVA_PARAMS, url:" + u(url)));
}

TEST_F(DownloaderTest, EmptyAnswerToTheRetryOfAShortChunkEndsIt)
{
    const std::wstring url = m_server.url(path(L"?size=1000&ranges=1&fail2=short:400&fail3=zero"));
    EXPECT_EQ(L"", downloadToMemory(L"JAVA_PARAMS", url, m_log.log()));
    EXPECT_EQ(1u, m_log.messagesStartingWith(
                          "Downloaded bytes less than the length of the content, contentLength=0, break [chunkNum=0")
                      .size());
    EXPECT_TRUE(logged("Download [" + u(url) + "] is FAILED"));
}

TEST_F(DownloaderTest, DroppedSingleStreamResumesWhereItStopped)
{
    // The first GET is reset after 30,000 of 100,000 bytes; the resumption
    // asks for the rest of the open-ended range.
    const std::wstring url = m_server.url(path(L"?size=100000&fail1=reset:30000"));
    EXPECT_TRUE(sameText(widen(patternBody(100000)), downloadToMemory(L"JAVA_PARAMS", url, m_log.log())));

    const std::vector<std::string> requests = m_server.requests();
    ASSERT_EQ(2u, requests.size());
    const std::string range = requests[1].substr(requests[1].rfind(' ') + 1);
    EXPECT_EQ(0u, range.find("bytes="));
    EXPECT_EQ("-4294967294", range.substr(range.find('-')));
    const std::string resumedFrom = range.substr(6, range.find('-') - 6);
    EXPECT_EQ(1u, m_log.messagesStartingWith("InternetReadFile [chunkNum=0, downloadAttemptCountRemain=5, "
                                             "limit=4294967295, offset=0], lastError:")
                      .size());
    EXPECT_EQ(1u, m_log.messagesStartingWith("InternetReadFile, use next attempt [chunkNum=0, "
                                             "downloadAttemptCountRemain=4, limit=" +
                                             std::to_string(0xFFFFFFFFu - std::stoul(resumedFrom)) +
                                             ", offset=" + resumedFrom + "], lastError:")
                      .size());
    EXPECT_TRUE(logged("Download [" + u(url) + "] is SUCCESS"));
}

TEST_F(DownloaderTest, DroppedChunkResumesWithARangeAndGivesNoDoneLine)
{
    const std::wstring url = m_server.url(path(L"?size=100000&ranges=1&fail2=reset:30000"));
    EXPECT_TRUE(sameText(widen(patternBody(100000)), downloadToMemory(L"JAVA_PARAMS", url, m_log.log())));

    const std::vector<std::string> requests = m_server.requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ(" bytes=0-99999", requests[1].substr(requests[1].size() - 14));
    const std::string range = requests[2].substr(requests[2].rfind(' ') + 1);
    EXPECT_EQ("-99999", range.substr(range.find('-')));
    // The resumed chunk's limit is what was left, so the whole count differs
    // from it.
    EXPECT_TRUE(m_log.messagesStartingWith("Chunk #0 is done").empty());
    EXPECT_TRUE(logged("Download [" + u(url) + "] is SUCCESS"));
}

TEST_F(DownloaderTest, ProbeThatCannotConnectFailsAfterFiveAttempts)
{
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(closedPort()) + L"/java2.json";
    auto output = std::make_shared<MemoryDownloadOutput>();
    FileDownloader downloader(url, output, m_log.log(), L"JAVA_PARAMS");
    EXPECT_FALSE(downloader.download());
    const std::vector<std::string> attempts = m_log.messagesStartingWith("Failed open connection");
    ASSERT_EQ(5u, attempts.size());
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(0u, attempts[i].find("Failed open connection, connectAttemptCountRemain=" + std::to_string(4 - i) +
                                       " [chunkNum=0, downloadAttemptCountRemain=5, limit=0, offset=0], lastError:"));
    }
    EXPECT_TRUE(logged("Can't open connection to " + u(url)));
    EXPECT_TRUE(logged("Download [" + u(url) + "] is FAILED"));
    EXPECT_FALSE(output->isComplete());
}

TEST_F(DownloaderTest, SlowServerGivesNothingAndTheThreadFinishesLater)
{
    // The body comes in four parts four seconds apart: each gap is within the
    // receive time-out, the whole takes longer than downloadToMemory waits.
    const std::wstring url = m_server.url(path(L"?size=1000&trickle=4000"));
    EXPECT_EQ(L"", downloadToMemory(L"JAVA_PARAMS", url, m_log.log()));
    const std::string givenUp = "Download did not end within 10 seconds, the empty text is given: " + u(url);
    EXPECT_EQ(givenUp, m_log.messages().back());
    EXPECT_TRUE(m_log.messagesStartingWith("-----END thread fileDownloaderThread").empty());

    // The late lines come after the one that says their text was not used.
    ASSERT_TRUE(m_log.waitForMessage("-----END thread fileDownloaderThread", 30000));
    const std::vector<std::string> messages = m_log.messages();
    const auto success = std::find(messages.begin(), messages.end(), "Download [" + u(url) + "] is SUCCESS");
    ASSERT_NE(messages.end(), success);
    EXPECT_LT(std::find(messages.begin(), messages.end(), givenUp), success);
    EXPECT_TRUE(logged("End download JAVA_PARAMS"));
}

}  // namespace
}  // namespace vantor::download
