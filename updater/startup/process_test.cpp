#include "updater/startup/process.h"

#include "tests/support/test_log.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vantor
