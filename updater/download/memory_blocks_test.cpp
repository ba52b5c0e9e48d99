#include "updater/download/memory_blocks.h"

#include <gtest/gtest.h>

#include <string>

namespace vantor::download {
namespace {

const std::uint8_t* bytesOf(const std::string& text)
{
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

// The first size() bytes, gathered block after block.
std::string allBytes(const MemoryBlocks& blocks)
{
    std::string result;
    blocks.forEachPiece([&result](const std::uint8_t* piece, std::uint32_t length) {
        result.append(reinterpret_cast<const char*>(piece), length);
    });
    return result;
}

void write(MemoryBlocks& blocks, const std::string& text, std::uint32_t position)
{
    ASSERT_TRUE(blocks.write(bytesOf(text), position, static_cast<std::uint32_t>(text.size())));
}

TEST(MemoryBlocks, WriteAcrossABlockBoundary)
{
    MemoryBlocks blocks;
    write(blocks, "0123456789", 262140);
    EXPECT_EQ(262150u, blocks.size());
    EXPECT_EQ(2u, blocks.blockCount());
    const std::string all = allBytes(blocks);
    ASSERT_EQ(262150u, all.size());
    EXPECT_EQ("0123", all.substr(262140, 4));
    EXPECT_EQ("456789", all.substr(262144, 6));
    // The bytes before the write were never written.
    EXPECT_EQ(std::string(262140, '\0'), all.substr(0, 262140));
}

TEST(MemoryBlocks, FirstWriteFarOutCreatesTheBlocksBefore)
{
    MemoryBlocks blocks;
    write(blocks, "abc", 600000);
    EXPECT_EQ(3u, blocks.blockCount());
    EXPECT_EQ(600003u, blocks.size());
    EXPECT_EQ("abc", allBytes(blocks).substr(600000));
}

TEST(MemoryBlocks, AWriteBeyondTheEndClearsOnlyTheBytesItSkips)
{
    MemoryBlocks blocks;
    write(blocks, "abc", 0);
    write(blocks, "xyz", 600000);
    const std::string all = allBytes(blocks);
    ASSERT_EQ(600003u, all.size());
    EXPECT_EQ("abc", all.substr(0, 3));
    EXPECT_EQ(std::string(600000 - 3, '\0'), all.substr(3, 600000 - 3));
    EXPECT_EQ("xyz", all.substr(600000));
}

TEST(MemoryBlocks, LaterWriteWinsAndSizeNeverShrinks)
{
    MemoryBlocks blocks;
    write(blocks, "aaaaaaaaaa", 0);
    write(blocks, "bb", 3);
    EXPECT_EQ("aaabbaaaaa", allBytes(blocks));
    EXPECT_EQ(10u, blocks.size());
}

TEST(MemoryBlocks, EmptyWriteStoresNothing)
{
    MemoryBlocks blocks;
    EXPECT_TRUE(blocks.write(nullptr, 5000000, 0));
    EXPECT_EQ(0u, blocks.size());
    EXPECT_EQ(0u, blocks.blockCount());
    EXPECT_EQ("", allBytes(blocks));
}

TEST(MemoryBlocks, LargeWriteSpanningSeveralBlocks)
{
    std::string data(3 * MemoryBlocks::kBlockSize + 17, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7 + i / 1000);
    }
    MemoryBlocks blocks;
    write(blocks, data, 100);
    EXPECT_EQ(data, allBytes(blocks).substr(100));
    EXPECT_EQ(4u, blocks.blockCount());
}

TEST(MemoryBlocks, RangeEndingBeyondFourGibIsRefused)
{
    MemoryBlocks blocks;
    const std::string data = "xyz";
    EXPECT_FALSE(blocks.write(bytesOf(data), 0xFFFFFFFFu, 3));
    EXPECT_FALSE(blocks.write(bytesOf(data), 0xFFFFFFFEu, 2));
    EXPECT_EQ(0u, blocks.size());
    EXPECT_EQ(0u, blocks.blockCount());
}

}  // namespace
}  // namespace vantor::download
