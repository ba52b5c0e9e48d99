#include "updater/startup/process.h"

#include "tests/support/test_log.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <regex>

namespace vantor {
namespace {

using namespace vantor::testing;

class ProcessTest : public ::testing::Test {
protected:
    std::wstring standIn(const std::string& config)
    {
        const std::wstring path = m_dir / L"program.exe";
        installStandIn(path, config);
        return path;
    }

    TempDir m_dir;
    TestLog m_log;
};

TEST_F(ProcessTest, MissingProgramGivesMinusFiveWithoutEndOfWaitLine)
{
    const std::wstring commandLine = L"\"" + (m_dir / L"missing.exe") + L"\" -version";
    EXPECT_EQ(kStatusNotStarted, runAndWait(commandLine, true, nullptr, nullptr, m_log.log()));
    const std::vector<std::string> lines = m_log.messages();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(narrow(commandLine), lines[1]);
    EXPECT_NE(std::string::npos, lines[2].find("-5"));
}

TEST_F(ProcessTest, ExitStatusLineOnlyForNonZeroStatus)
{
    const std::wstring program = L"\"" + standIn("exit=0") + L"\"";
    EXPECT_EQ(0, runAndWait(program, true, nullptr, nullptr, m_log.log()));
    EXPECT_EQ(4u, m_log.messages().size());  // start, command line, end of wait, command line

    writeFileBytes((m_dir / L"program.exe.cfg"), "exit=3");
    EXPECT_EQ(3, runAndWait(program, true, nullptr, nullptr, m_log.log()));
    const std::vector<std::string> lines = m_log.messages();
    ASSERT_EQ(9u, lines.size());
    EXPECT_NE(std::string::npos, lines[8].find('3'));
}

TEST_F(ProcessTest, FullThirtyTwoBitExitCodesAndStillActive)
{
    EXPECT_EQ(-1, runAndWait(L"\"" + standIn("exit=0xFFFFFFFF") + L"\"", true, nullptr, nullptr, m_log.log()));
    EXPECT_EQ(kStatusStillActive, runAndWait(L"\"" + standIn("exit=259") + L"\"", true, nullptr, nullptr, m_log.log()));
    EXPECT_EQ(-2, runAndWait(L"\"" + standIn("exit=-2") + L"\"", true, nullptr, nullptr, m_log.log()));
}

TEST_F(ProcessTest, CaptureKeepsTheFirst255BytesOfASuccessfulRun)
{
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    CapturedOutput output;
    const std::wstring program = L"\"" + standIn("stdout=" + text + "\nexit=0") + L"\"";
    EXPECT_EQ(0, runAndCapture(program, output, m_log.log()));
    EXPECT_EQ(text.substr(0, 255), std::string(output.data()));
    EXPECT_EQ('\0', output[255]);

    writeFileBytes(m_dir / L"program.exe.cfg", "stdout=" + text + "\nexit=1");
    EXPECT_EQ(1, runAndCapture(program, output, m_log.log()));
    EXPECT_EQ("", std::string(output.data()));
}

TEST_F(ProcessTest, CaptureTakesStandardErrorToo)
{
    CapturedOutput output;
    const std::wstring program = L"\"" + standIn("stderr=java version \"1.8.0_151\"\\n") + L"\"";
    EXPECT_EQ(0, runAndCapture(program, output, m_log.log()));
    EXPECT_EQ("java version \"1.8.0_151\"\n", std::string(output.data()));
}

TEST_F(ProcessTest, CaptureOfAMegabyteOrOfNothingEndsNormally)
{
    CapturedOutput output;
    EXPECT_EQ(0, runAndCapture(L"\"" + standIn("stdout_bytes=1048576") + L"\"", output, m_log.log()));
    EXPECT_EQ(std::string(255, 'x'), std::string(output.data()));

    EXPECT_EQ(0, runAndCapture(L"\"" + standIn("exit=0") + L"\"", output, m_log.log()));
    EXPECT_EQ("", std::string(output.data()));
}

TEST_F(ProcessTest, LaunchDetachedPassesNoUpdate)
{
    const std::wstring program = standIn("exit=0");
    launchDetached(program, &m_log.log());
    std::vector<std::string> calls;
    for (int i = 0; i < 200 && calls.empty(); ++i) {
        Sleep(50);
        calls = standInCalls(program);
    }
    ASSERT_EQ(1u, calls.size());
    EXPECT_NE(std::string::npos, calls[0].find("/noupdate"));
    const std::vector<std::string> lines = m_log.messages();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(narrow(program) + " /noupdate"));
}

TEST(ProcessHelpers, GuidTextHasTheRegistryFormWithoutBraces)
{
    const std::string guid = narrow(newGuidText());
    EXPECT_TRUE(std::regex_match(guid, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")))
        << guid;
    EXPECT_NE(newGuidText(), newGuidText());
}

TEST(ProcessHelpers, CanWriteToFolderCreatesAMissingFolder)
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

TEST(ProcessHelpers, CopyFileBytesCopiesAndReportsFailures)
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

TEST(ProcessHelpers, ProductVersionOfTheUpdaterIsTheProjectVersion)
{
    const ProductVersion version = readProductVersion(binPath(L"VantorUpdater.exe"));
    EXPECT_EQ(2, version.major);
    EXPECT_EQ(1, version.minor);
    EXPECT_EQ(0, version.build);
    EXPECT_EQ(0, version.revision);
    const ProductVersion none = readProductVersion(binPath(L"stand_in.exe"));
    EXPECT_EQ(0, none.major + none.minor + none.build + none.revision);
}

TEST(ProcessHelpers, IsNewerThanInstalledComparesProductVersions)
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
