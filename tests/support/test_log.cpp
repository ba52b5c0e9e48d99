#include "tests/support/test_log.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace vantor::testing {

TestLog::TestLog()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_fileName = L"vantor-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()) +
                 L"-" + widen(info != nullptr ? info->name() : "none") + L".log";
    for (wchar_t& c : m_fileName) {
        if (c == L'/') {
            c = L'_';
        }
    }
    m_log = new DiagnosticsLog(m_fileName.c_str());
    DeleteFileW(m_log->filePath().c_str());
}

TestLog::~TestLog()
{
    if (!::testing::Test::HasFailure()) {
        DeleteFileW(m_log->filePath().c_str());
    }
}

std::string TestLog::text() const
{
    return readFileBytes(m_log->filePath());
}

std::vector<std::string> TestLog::lines() const
{
    return readLines(m_log->filePath());
}

std::vector<std::string> TestLog::messages() const
{
    std::vector<std::string> result;
    for (const std::string& line : lines()) {
        // "[time] LEVEL : [TAG] : message": the message follows the second " : ".
        const std::size_t first = line.find(" : ");
        const std::size_t second = first == std::string::npos ? first : line.find(" : ", first + 3);
        result.push_back(second == std::string::npos ? line : line.substr(second + 3));
    }
    return result;
}

std::vector<std::string> TestLog::messagesStartingWith(const std::string& prefix) const
{
    std::vector<std::string> result;
    for (const std::string& message : messages()) {
        if (message.compare(0, prefix.size(), prefix) == 0) {
            result.push_back(message);
        }
    }
    return result;
}

bool TestLog::waitForMessage(const std::string& prefix, DWORD timeoutMs) const
{
    return waitUntil([&] { return !messagesStartingWith(prefix).empty(); }, timeoutMs);
}

}  // namespace vantor::testing
