#include "updater/ui/text_table_loader.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

using namespace vantor::testing;

TEST(TextTableLoader, ResourceFormDecodesUtf8WithByteOrderMark)
{
    const std::string bytes = "\xEF\xBB\xBFREQUIRES_ADMIN_PRIVILEGES=\xD0\x94\xD0\xBB\xD1\x8F\r\nCLOSE=\xD0\x97\r\n";
    const auto table = textTableFromMemory(bytes.data(), bytes.size(), 1049);
    EXPECT_EQ(std::wstring(L"\u0414\u043b\u044f"), table->lookup(L"REQUIRES_ADMIN_PRIVILEGES"));
    EXPECT_EQ(std::wstring(L"\u0417"), table->lookup(L"CLOSE"));
    EXPECT_EQ(1049, table->languageId());
}

TEST(TextTableLoader, ResourceFormWithoutBytesIsEmpty)
{
    EXPECT_EQ(0u, textTableFromMemory(nullptr, 0, 1033)->size());
    EXPECT_EQ(0u, textTableFromMemory("", 0, 1033)->size());
}

TEST(TextTableLoader, FileFormReplacesEntriesAndUsesTheAnsiCodePage)
{
    TempDir dir;
    TextTable table;
    table.parse(L"old=1\n");
    writeFileBytes(dir / L"plugin.properties", "plugin.version=2.0.5\r\nname=caf\xE9");
    loadTextTableFile(table, dir / L"plugin.properties");
    EXPECT_EQ(std::wstring(L"old"), table.lookup(L"old"));
    EXPECT_EQ(std::wstring(L"2.0.5"), table.lookup(L"plugin.version"));
    if (GetACP() == 1252) {
        EXPECT_EQ(std::wstring(L"caf\u00e9"), table.lookup(L"name"));
    }
}

TEST(TextTableLoader, MissingOrEmptyFileLeavesTheTableEmpty)
{
    TempDir dir;
    TextTable table;
    table.parse(L"a=1\n");
    loadTextTableFile(table, dir / L"missing.properties");
    EXPECT_EQ(0u, table.size());
    EXPECT_EQ(std::wstring(L"plugin.version"), table.lookup(L"plugin.version"));

    writeFileBytes(dir / L"empty.properties", "");
    table.parse(L"a=1\n");
    loadTextTableFile(table, dir / L"empty.properties");
    EXPECT_EQ(0u, table.size());
}

}  // namespace
}  // namespace vantor
