#include "updater/startup/installation.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <regex>

namespace vantor {
namespace {

using namespace vantor::testing;

TEST(Installation, GuidTextHasTheRegistryFormWithoutBraces)
{
    const std::string guid = narrow(newGuidText());
    EXPECT_TRUE(std::regex_match(guid, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")))
        << guid;
    EXPECT_NE(newGuidText(), newGuidText());
}

TEST(Installation, CanWriteToFolderCreatesAMissingFolder)
{
    TempDir dir;
    const std::wstring folder = dir / L"a\\b";
    EXPECT_TRUE(canWriteToFolder(folder));
    EXPECT_TRUE(directoryExists(folder));
    WIN32_FIND_DATAW entry;
    EXPECT_FALSE(win::FindHandle(FindFirstFileW((folder + L"\\*.tmp").c_str(), &entry)))
        << "the probe file was left behind";

    writeFileBytes(dir / L"file", "x");
    EXPECT_FALSE(canWriteToFolder(dir / L"file"));
    EXPECT_FALSE(canWriteToFolder(dir / L"file\\below"));
}

TEST(Installation, ProductVersionOfTheUpdaterIsTheProjectVersion)
{
    const ProductVersion version = readProductVersion(binPath(L"VantorUpdater.exe"));
    EXPECT_EQ(2, version.major);
    EXPECT_EQ(1, version.minor);
    EXPECT_EQ(0, version.build);
    EXPECT_EQ(0, version.revision);
    const ProductVersion none = readProductVersion(binPath(L"stand_in.exe"));
    EXPECT_EQ(0, none.major + none.minor + none.build + none.revision);
}

TEST(Installation, IsNewerThanInstalledComparesProductVersions)
{
    const auto newer = [](const wchar_t* running, const wchar_t* installed) {
        return runProcess(L"\"" + binPath(running) + L"\" newer \"" + binPath(installed) + L"\"").exitCode;
    };
    EXPECT_EQ(1u, newer(L"version_probe_2100.exe", L"version_probe_2099.exe"));
    EXPECT_EQ(0u, newer(L"version_probe_2100.exe", L"version_probe_2100.exe"));
    EXPECT_EQ(1u, newer(L"version_probe_2100.exe", L"stand_in.exe"));
    EXPECT_EQ(0u, newer(L"version_probe_2099.exe", L"version_probe_2100.exe"));
    EXPECT_EQ(0u, newer(L"version_probe_0000.exe", L"stand_in.exe"));
    EXPECT_EQ(0u, newer(L"version_probe_0000.exe", L"version_probe_2099.exe"));
}

class InstallExecPathTest : public ::testing::Test {
protected:
    RegistrySandbox m_key;
};

TEST_F(InstallExecPathTest, MissingKeyOrValueGivesEmpty)
{
    EXPECT_EQ(L"", readInstallExecPath(m_key.subKey() + L"\\missing"));
    EXPECT_EQ(L"", readInstallExecPath(m_key.subKey()));
}

TEST_F(InstallExecPathTest, TextTypesAreRead)
{
    m_key.setString(L"exec", L"C:\\Program Files\\Vantor\\Vantor.exe");
    EXPECT_EQ(L"C:\\Program Files\\Vantor\\Vantor.exe", readInstallExecPath(m_key.subKey()));

    const wchar_t multi[] = L"C:\\first.exe\0C:\\second.exe\0";
    m_key.setValue(L"exec", REG_MULTI_SZ, multi, sizeof multi);
    EXPECT_EQ(L"C:\\first.exe", readInstallExecPath(m_key.subKey()));

    const wchar_t binary[] = L"C:\\bin.exe";
    m_key.setValue(L"exec", REG_BINARY, binary, sizeof binary);
    EXPECT_EQ(L"C:\\bin.exe", readInstallExecPath(m_key.subKey()));
}

TEST_F(InstallExecPathTest, OtherTypesGiveEmpty)
{
    const DWORD number = 42;
    m_key.setValue(L"exec", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(L"", readInstallExecPath(m_key.subKey()));
}

TEST_F(InstallExecPathTest, ExpandableTextIsExpanded)
{
    m_key.setString(L"exec", L"%SystemRoot%\\Vantor.exe", REG_EXPAND_SZ);
    wchar_t root[MAX_PATH];
    GetEnvironmentVariableW(L"SystemRoot", root, MAX_PATH);
    EXPECT_EQ(std::wstring(root) + L"\\Vantor.exe", readInstallExecPath(m_key.subKey()));
}

TEST_F(InstallExecPathTest, UnterminatedDataIsReadWithinItsBuffer)
{
    // 1,024 bytes of text without any terminator fill the whole buffer.
    // (Binary data, because Wine terminates REG_SZ data when it stores it.)
    const std::wstring text(512, L'p');
    m_key.setValue(L"exec", REG_BINARY, text.data(), 1024);
    EXPECT_EQ(text, readInstallExecPath(m_key.subKey()));
    // An odd byte count leaves a half unit, which is not read.
    m_key.setValue(L"exec", REG_BINARY, text.data(), 7);
    EXPECT_EQ(L"ppp", readInstallExecPath(m_key.subKey()));
    // One unit more does not fit the buffer at all.
    const std::wstring longer(513, L'p');
    m_key.setValue(L"exec", REG_BINARY, longer.data(), 1026);
    EXPECT_EQ(L"", readInstallExecPath(m_key.subKey()));
}

TEST_F(InstallExecPathTest, ExpansionThatDoesNotFitGivesEmpty)
{
    SetEnvironmentVariableW(L"VANTOR_TEST_LONG", std::wstring(600, L'x').c_str());
    m_key.setString(L"exec", L"%VANTOR_TEST_LONG%%VANTOR_TEST_LONG%", REG_EXPAND_SZ);
    EXPECT_EQ(L"", readInstallExecPath(m_key.subKey()));
    SetEnvironmentVariableW(L"VANTOR_TEST_LONG", std::wstring(500, L'x').c_str());
    EXPECT_EQ(std::wstring(1000, L'x'), readInstallExecPath(m_key.subKey()));
    SetEnvironmentVariableW(L"VANTOR_TEST_LONG", nullptr);
}

}  // namespace
}  // namespace vantor
