#include "updater/startup/diagnostics_log.h"

#include "common/win/unique_handle.h"
#include "tests/support/test_log.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

namespace vantor {
namespace {

using namespace vantor::testing;

class DiagnosticsLogTest : public ::testing::Test {
protected:
    TestLog m_file;
    DiagnosticsLog& m_log = m_file.log();
};

const std::regex kLine(R"(\[\d{4}_\d{1,2}_\d{1,2} \d{1,2}:\d{1,2}:\d{1,2}:\d{1,3}\] ([A-Z]+) : \[([A-Z]+)\] : (.*)\r)");

TEST_F(DiagnosticsLogTest, FileLivesInTheTemporaryFolder)
{
    wchar_t folder[2048];
    const DWORD length = GetTempPathW(2048, folder);
    EXPECT_EQ(std::wstring(folder, length) + m_file.fileName(), m_file.path());
}

TEST_F(DiagnosticsLogTest, NullMessageWritesNothingAndCreatesNoFile)
{
    m_log.write(L"INFO", nullptr);
    EXPECT_FALSE(fileExists(m_file.path()));
}

TEST_F(DiagnosticsLogTest, LinesCarryLevelTagAndMessage)
{
    m_log.write(L"INFO", L"---START---");
    m_log.write(L"ERROR", L"");
    m_log.setTag(L"SRV");
    m_log.write(L"WARNING", L"from the server");

    const std::vector<std::string> lines = readLines(m_file.path());
    ASSERT_EQ(3u, lines.size());
    std::smatch match;
    std::string line = lines[0] + "\r";
    ASSERT_TRUE(std::regex_match(line, match, kLine)) << lines[0];
    EXPECT_EQ("INFO", match[1]);
    EXPECT_EQ("DEF", match[2]);
    EXPECT_EQ("---START---", match[3]);
    EXPECT_NE(std::string::npos, m_file.text().find("ERROR : [DEF] : \r\n"));
    line = lines[2] + "\r";
    ASSERT_TRUE(std::regex_match(line, match, kLine)) << lines[2];
    EXPECT_EQ("SRV", match[2]);
}

TEST_F(DiagnosticsLogTest, TimeStampIsUtc)
{
    SYSTEMTIME before;
    GetSystemTime(&before);
    m_log.write(L"INFO", L"now");
    const std::string text = m_file.text();
    const std::string expectedStart = "[" + std::to_string(before.wYear) + "_" + std::to_string(before.wMonth) + "_" +
                                      std::to_string(before.wDay) + " " + std::to_string(before.wHour) + ":";
    // Run across an hour boundary and the hour may differ; that is rare
    // enough to accept.
    EXPECT_EQ(0u, text.find(expectedStart)) << text;
}

TEST_F(DiagnosticsLogTest, FileIsAppendedBelowTheLimitAndRestartedAtIt)
{
    writeFileBytes(m_file.path(), std::string(205823, 'a'));
    m_log.write(L"INFO", L"appended");
    std::string text = m_file.text();
    EXPECT_EQ(std::string(205823, 'a'), text.substr(0, 205823));
    EXPECT_NE(std::string::npos, text.find("appended\r\n", 205823));

    // The restart empties the same file: a name can be swapped for a link
    // between a deletion and a new open, an open handle cannot. The witness
    // keeps the old file's index from being handed to a new file.
    writeFileBytes(m_file.path(), std::string(205824, 'a'));
    const win::Handle witness(CreateFileW(m_file.path().c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(witness.valid());
    BY_HANDLE_FILE_INFORMATION before{};
    ASSERT_TRUE(GetFileInformationByHandle(witness.get(), &before));
    m_log.write(L"INFO", L"fresh");
    text = m_file.text();
    EXPECT_EQ('[', text.front());
    EXPECT_EQ(1u, readLines(m_file.path()).size());
    EXPECT_NE(std::string::npos, text.find("INFO : [DEF] : fresh\r\n"));
    const win::Handle after(CreateFileW(m_file.path().c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    BY_HANDLE_FILE_INFORMATION now{};
    ASSERT_TRUE(GetFileInformationByHandle(after.get(), &now));
    EXPECT_EQ(before.dwVolumeSerialNumber, now.dwVolumeSerialNumber);
    EXPECT_EQ(before.nFileIndexHigh, now.nFileIndexHigh);
    EXPECT_EQ(before.nFileIndexLow, now.nFileIndexLow);
}

TEST_F(DiagnosticsLogTest, TextIsWrittenInTheAnsiCodePage)
{
    if (GetACP() != 1252) {
        GTEST_SKIP() << "needs a Western European ANSI code page, this one is " << GetACP();
    }
    m_log.write(L"INFO", L"caf\u00e9 \u0416\u0416");
    EXPECT_NE(std::string::npos, m_file.text().find("caf\xe9 ??\r\n"));
}

TEST_F(DiagnosticsLogTest, LastErrorIsLoggedWithTheSystemText)
{
    CreateFileW(L"Z:\\no\\such\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    SetLastError(ERROR_FILE_NOT_FOUND);
    m_log.writeLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    const std::string text = m_file.text();
    EXPECT_NE(std::string::npos, text.find("ERROR : [DEF] : LastErrorCode #2, ErrorText: ")) << text;
}

TEST_F(DiagnosticsLogTest, WriteKeepsTheCallersLastError)
{
    SetLastError(12345);
    m_log.write(L"INFO", L"x");
    EXPECT_EQ(12345u, GetLastError());
}

TEST_F(DiagnosticsLogTest, ThreadsOfOneProcessNeverMixTheirLines)
{
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kLines; ++i) {
                m_log.write(L"INFO", (L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i)).c_str());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const std::vector<std::string> lines = readLines(m_file.path());
    ASSERT_EQ(static_cast<std::size_t>(kThreads * kLines), lines.size());
    for (const std::string& line : lines) {
        const std::string withReturn = line + "\r";
        EXPECT_TRUE(std::regex_match(withReturn, kLine)) << line;
    }
}

TEST_F(DiagnosticsLogTest, TwoProcessesWritingAtOnceLoseNoLine)
{
    constexpr int kLines = 2000;
    const std::wstring writer = binPath(L"log_writer.exe");
    ProcessOptions options;
    options.timeoutMs = 600000;
    const std::wstring args = L" " + m_file.fileName() + L" " + std::to_wstring(kLines);

    std::thread second([&] { runProcess(L"\"" + writer + L"\"" + args + L" SRV", options); });
    const ProcessResult first = runProcess(L"\"" + writer + L"\"" + args + L" DEF", options);
    second.join();
    ASSERT_TRUE(first.started);

    const std::vector<std::string> lines = readLines(m_file.path());
    ASSERT_EQ(static_cast<std::size_t>(2 * kLines), lines.size());
    std::vector<int> seen[2] = {std::vector<int>(kLines, 0), std::vector<int>(kLines, 0)};
    for (const std::string& line : lines) {
        std::smatch match;
        const std::string withReturn = line + "\r";
        ASSERT_TRUE(std::regex_match(withReturn, match, kLine)) << line;
        const int index = std::stoi(match[3]);
        ASSERT_TRUE(index >= 0 && index < kLines) << line;
        seen[match[2] == "DEF" ? 0 : 1][static_cast<std::size_t>(index)] += 1;
    }
    EXPECT_EQ(std::vector<int>(kLines, 1), seen[0]);
    EXPECT_EQ(std::vector<int>(kLines, 1), seen[1]);
}

}  // namespace
}  // namespace vantor
