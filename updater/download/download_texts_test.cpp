#include "download_texts.h"

#include <gtest/gtest.h>

namespace vantor::download {
namespace {

TEST(DownloadTexts, ChunkErrorCarriesTheChunkState)
{
    EXPECT_EQ(L"InternetReadFile [chunkNum=0, downloadAttemptCountRemain=-1, limit=4294967295, offset=12], "
              L"lastError:12002",
              chunkErrorText(L"InternetReadFile", 0, -1, 0xFFFFFFFFu, 12, 12002));
}

TEST(DownloadTexts, CheckLines)
{
    EXPECT_EQ(L"Chunk #0 is done, downloadId:JAVA_PARAMS, url:http://h/x",
              chunkDoneText(0, L"JAVA_PARAMS", L"http://h/x"));
    EXPECT_EQ(L"length of [http://h/x]=4294967295, length of downloaded file [memoryOutput]=10",
              lengthCheckText(L"http://h/x", 0xFFFFFFFFu, L"memoryOutput", 10));
    EXPECT_EQ(L"MD5 of [http://h/x]=abc, MD5 of downloaded file [file]=def",
              digestCheckText(L"http://h/x", L"abc", L"file", L"def"));
}

TEST(DownloadTexts, LengthCheck)
{
    EXPECT_TRUE(lengthMatches(0xFFFFFFFFu, 0));
    EXPECT_TRUE(lengthMatches(0xFFFFFFFFu, 12345));
    EXPECT_TRUE(lengthMatches(1000, 1000));
    EXPECT_FALSE(lengthMatches(1000, 999));
    EXPECT_FALSE(lengthMatches(0, 1));
}

TEST(DownloadTexts, ChunkRanges)
{
    const ChunkRange whole = chunkRange(1000, 1, 0);
    EXPECT_EQ(1000u, whole.limit);
    EXPECT_EQ(0u, whole.offset);
    // The last chunk takes the remainder.
    EXPECT_EQ(333u, chunkRange(1000, 3, 0).limit);
    EXPECT_EQ(333u, chunkRange(1000, 3, 1).offset);
    EXPECT_EQ(334u, chunkRange(1000, 3, 2).limit);
    EXPECT_EQ(666u, chunkRange(1000, 3, 2).offset);
    EXPECT_EQ(0xFFFFFFFFu, chunkRange(0xFFFFFFFFu, 1, 0).limit);
}

}  // namespace
}  // namespace vantor::download
