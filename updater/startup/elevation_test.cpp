#include "updater/startup/elevation.h"

#include "tests/support/test_log.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

using namespace vantor::testing;

// Runs `<program> elevate <record> <log name>`: the program calls
// startElevatedServer, and the copy it starts appends its own path and its
// command line to <record>.
class ElevationTest : public ::testing::Test {
protected:
    // The two lines that the started copy records, once it has written them.
    std::vector<std::string> startedCopy(const std::wstring& program)
    {
        const std::wstring record = m_dir / L"record.txt";
        const ProcessResult result =
            runProcess(L"\"" + program + L"\" elevate \"" + record + L"\" " + m_log.fileName());
        EXPECT_TRUE(result.started);
        EXPECT_EQ(1u, result.exitCode) << "startElevatedServer reported no start";
        std::vector<std::string> lines;
        for (int i = 0; i < 200 && lines.size() < 2; ++i) {
            Sleep(50);
            lines = readLines(record);
        }
        return lines;
    }

    TempDir m_dir;
    TestLog m_log;
};

TEST_F(ElevationTest, StartsItsOwnFileWithLogPathAppended)
{
    const std::wstring program = m_dir / L"probe.exe";
    ASSERT_TRUE(copyFile(binPath(L"version_probe_2100.exe"), program));

    const std::vector<std::string> lines = startedCopy(program);
    ASSERT_EQ(2u, lines.size());
    wchar_t shortProgram[MAX_PATH];
    GetShortPathNameW(program.c_str(), shortProgram, MAX_PATH);
    wchar_t recordedLong[MAX_PATH];
    GetLongPathNameW(widen(lines[0]).c_str(), recordedLong, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW(program.c_str(), recordedLong)) << lines[0];
    const std::string expectedTail =
        "record \"" + narrow(m_dir / L"record.txt") + "\" /logPath \"" + narrow(m_log.path()) + "\"";
    EXPECT_NE(std::string::npos, lines[1].find(expectedTail)) << lines[1];

    const std::vector<std::string> messages = m_log.messages();
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ(expectedTail, messages[1]);
}

TEST_F(ElevationTest, BeforeVistaTheCopyRunsFromAFreshTemporaryFolder)
{
    // Wine reports Windows XP x64 (5.2) to an executable of this name.
    const std::wstring program = m_dir / L"vantor_xp_probe.exe";
    ASSERT_TRUE(copyFile(binPath(L"version_probe_2100.exe"), program));
    const std::wstring settings = L"Software\\Wine\\AppDefaults\\vantor_xp_probe.exe";
    const wchar_t version[] = L"winxp64";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_CURRENT_USER, settings.c_str(), L"Version", REG_SZ, version, sizeof version));

    const std::vector<std::string> lines = startedCopy(program);
    RegDeleteTreeW(HKEY_CURRENT_USER, settings.c_str());
    ASSERT_EQ(2u, lines.size());

    const std::wstring copy = widen(lines[0]);
    wchar_t tempFolder[MAX_PATH];
    GetTempPathW(MAX_PATH, tempFolder);
    wchar_t longCopy[MAX_PATH];
    ASSERT_NE(0u, GetLongPathNameW(copy.c_str(), longCopy, MAX_PATH)) << lines[0];
    wchar_t longTemp[MAX_PATH];
    GetLongPathNameW(tempFolder, longTemp, MAX_PATH);
    EXPECT_EQ(0, _wcsnicmp(longCopy, longTemp, wcslen(longTemp))) << lines[0];
    EXPECT_NE(std::wstring::npos, std::wstring(longCopy).find(L"vantor_xp_probe.exe")) << lines[0];
    EXPECT_EQ(readFileBytes(program), readFileBytes(copy));
    removeTree(copy.substr(0, copy.find_last_of(L"\\/")));
}

TEST(Elevation, AdministratorGroupIsFoundInTheToken)
{
    // Wine runs programs with a token that holds the Administrators group.
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size));
    BOOL member = FALSE;
    ASSERT_TRUE(CheckTokenMembership(nullptr, sid, &member));
    EXPECT_EQ(member != FALSE, isUserAdministrator());
}

TEST(Elevation, CopyFileBytesCopiesAndReportsFailures)
{
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 10000; ++i) {
        bytes += static_cast<char>(i * 7);
    }
    writeFileBytes(dir / L"source.bin", bytes);
    EXPECT_TRUE(copyFileBytes(dir / L"source.bin", dir / L"copy.bin"));
    EXPECT_EQ(bytes, readFileBytes(dir / L"copy.bin"));
    EXPECT_FALSE(copyFileBytes(dir / L"missing.bin", dir / L"copy2.bin"));
    EXPECT_FALSE(fileExists(dir / L"copy2.bin"));
    EXPECT_FALSE(copyFileBytes(dir / L"source.bin", dir / L"no\\such\\folder.bin"));
}

}  // namespace
}  // namespace vantor
