#include "tests/support/download_test_support.h"
#include "updater/download/chunk_downloader.h"
#include "updater/download/chunk_downloader_listener_impl.h"
#include "updater/download/file_downloader.h"
#include "updater/download/memory_blocks.h"
#include "updater/download/memory_download_output.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

namespace vantor::download {
namespace {

using namespace vantor::testing;

const std::uint8_t* bytesOf(const std::string& text)
{
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

void writeText(MemoryDownloadOutput& output, const std::string& text, std::uint32_t position)
{
    output.write(bytesOf(text), position, static_cast<std::uint32_t>(text.size()));
}

TEST(MemoryDownloadOutput, FixedAnswers)
{
    MemoryDownloadOutput output;
    EXPECT_TRUE(output.openOutput(L"whatever.bin"));
    EXPECT_EQ(L"", output.md5());
    EXPECT_EQ(L"memoryOutput", output.name());
    EXPECT_FALSE(output.isComplete());
    output.setComplete(true);
    EXPECT_TRUE(output.isComplete());
    output.setComplete(false);
    EXPECT_FALSE(output.isComplete());
}

TEST(MemoryDownloadOutput, DecodesUtf8)
{
    MemoryDownloadOutput output;
    EXPECT_EQ(L"", output.toText());
    writeText(output, "Download [", 0);
    EXPECT_EQ(L"Download [", output.toText());

    MemoryDownloadOutput cyrillic;
    writeText(cyrillic, "\xD0\x92\xD0\xB5\xD1\x80\xD1\x81\xD0\xB8\xD1\x8F 1.8.0", 0);
    EXPECT_EQ(L"\u0412\u0435\u0440\u0441\u0438\u044F 1.8.0", cyrillic.toText());

    // Invalid sequences are replaced, not fatal.
    MemoryDownloadOutput broken;
    writeText(broken, "a\xFF" "b", 0);
    EXPECT_EQ(L"a\uFFFDb", broken.toText());
}

// The text is decoded block by block, ASCII by the output itself and the
// rest by the system in stretches; it must be the text that one call of the
// system's decoder gives for all the bytes, invalid sequences and sequences
// cut by a block boundary included.
TEST(MemoryDownloadOutput, DecodesLikeOneCallOfTheSystemDecoder)
{
    std::mt19937 random(16);
    std::string body;
    while (body.size() < 3 * MemoryBlocks::kBlockSize) {
        switch (random() % 5) {
        case 0: body.append(random() % 40 + 1, static_cast<char>('a' + random() % 26)); break;
        case 1:  // words of another script between single spaces
            for (unsigned word = random() % 30; word > 0; --word) {
                body += "\xD0\x92\xD0\xB5 ";
            }
            break;
        case 2:
            for (unsigned n = random() % 5 + 1; n > 0; --n) {
                body += static_cast<char>(0x80 + random() % 0x80);
            }
            break;
        case 3: body += "\xF0\x9F\x98\x80"; break;
        default: body += "\xE2\x82"; break;  // cut short
        }
    }
    // Sequences across the first two block boundaries, and one cut by the end.
    body.replace(MemoryBlocks::kBlockSize - 2, 4, "\xF0\x9F\x98\x80");
    body.replace(2 * MemoryBlocks::kBlockSize - 1, 3, "\xE2\x82\xAC");
    body += "\xF0\x9F";

    MemoryDownloadOutput output;
    for (std::uint32_t at = 0; at < body.size(); at += 8192) {
        output.write(bytesOf(body) + at, at, std::min<std::uint32_t>(8192, static_cast<std::uint32_t>(body.size()) - at));
    }
    const int length = static_cast<int>(body.size());
    std::wstring expected(body.size(), L'\0');
    expected.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, body.data(), length, expected.data(), length)));
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(output.toText() == expected);
}

TEST(MemoryDownloadOutput, TextAcrossBlocksAndGaps)
{
    MemoryDownloadOutput output;
    const std::string body = patternBody(700000);
    // Written back to front in uneven pieces.
    for (std::uint32_t end = static_cast<std::uint32_t>(body.size()); end > 0;) {
        const std::uint32_t start = end > 8191 ? end - 8191 : 0;
        output.write(bytesOf(body) + start, start, end - start);
        end = start;
    }
    EXPECT_EQ(700000u, output.size());
    EXPECT_EQ(widen(body), output.toText());
}

TEST(MemoryDownloadOutput, ConcurrentWritersNeverInterleave)
{
    MemoryDownloadOutput output;
    const std::string body = patternBody(4 * 262144 + 1000);
    const std::uint32_t share = static_cast<std::uint32_t>(body.size() / 4);
    std::vector<std::thread> writers;
    for (std::uint32_t w = 0; w < 4; ++w) {
        writers.emplace_back([&, w] {
            const std::uint32_t begin = w * share;
            const std::uint32_t end = w == 3 ? static_cast<std::uint32_t>(body.size()) : begin + share;
            for (std::uint32_t at = begin; at < end; at += 8192) {
                const std::uint32_t length = std::min<std::uint32_t>(8192, end - at);
                output.write(bytesOf(body) + at, at, length);
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(body.size(), output.size());
    EXPECT_EQ(widen(body), output.toText());
}

TEST(MemoryDownloadOutput, RangeBeyondFourGibIsRefused)
{
    MemoryDownloadOutput output;
    writeText(output, "abc", 0);
    writeText(output, "xyz", 0xFFFFFFFEu);
    EXPECT_EQ(3u, output.size());
    EXPECT_EQ(L"abc", output.toText());
}

// An error handler that keeps the messages.
class KeptErrors final : public ErrorHandler {
public:
    void onError(const std::wstring& message) override { messages.push_back(message); }
    std::vector<std::wstring> messages;
};

TEST(ChunkDownloaderListenerImpl, LogsAChunkReadToItsLimit)
{
    TestLog log;
    auto output = std::make_shared<MemoryDownloadOutput>();
    FileDownloader owner(L"http://host/java2.json", output, log.log(), L"JAVA_PARAMS");
    ChunkDownloaderListenerImpl listener(L"JAVA_PARAMS", log.log());
    listener.setOwner(&owner);
    KeptErrors errors;
    ChunkDownloader chunk(3, L"http://host/java2.json", 5000, 5000, errors, 5, 5, 5000, listener);

    chunk.limit = 1000;
    listener.onProgress(chunk, 1000);
    listener.onChunkFinished(chunk, 999);
    EXPECT_TRUE(log.messages().empty());
    listener.onChunkFinished(chunk, 1000);
    // A single stream has no limit and so never gives the line.
    chunk.limit = 0xFFFFFFFFu;
    listener.onChunkFinished(chunk, 1000);

    const std::vector<std::string> messages = log.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("Chunk #3 is done, downloadId:JAVA_PARAMS, url:http://host/java2.json", messages[0]);
}

TEST(ChunkDownloader, ReportErrorAddsTheChunkStateAndTheLastError)
{
    TestLog log;
    ChunkDownloaderListenerImpl listener(L"ID", log.log());
    KeptErrors errors;
    ChunkDownloader chunk(0, L"http://host/x", 5000, 5000, errors, 5, 5, 5000, listener);
    chunk.limit = 1000;
    chunk.offset = 24;
    SetLastError(12002);
    chunk.reportError(L"InternetReadFile");
    EXPECT_EQ(12002u, GetLastError());
    ASSERT_EQ(1u, errors.messages.size());
    EXPECT_EQ(L"InternetReadFile [chunkNum=0, downloadAttemptCountRemain=5, limit=1000, offset=24], lastError:12002",
              errors.messages[0]);
}

TEST(FileDownloader, ErrorsGoToTheLogAtErrorLevel)
{
    TestLog log;
    FileDownloader downloader(L"http://host/x", std::make_shared<MemoryDownloadOutput>(), log.log(), L"ID");
    downloader.onError(L"something failed");
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("] ERROR : [DEF] : something failed"));
}

}  // namespace
}  // namespace vantor::download
