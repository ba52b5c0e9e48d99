// A diagnostics log in a file of the test's own.
#pragma once

#include "updater/startup/diagnostics_log.h"

#include <windows.h>

#include <string>
#include <vector>

namespace vantor::testing {

// A log named after the running test in the temporary folder, removed before
// use. It is never destroyed: a download thread that outlives its test may
// still write to it.
class TestLog {
public:
    TestLog();
    // Removes the file when the test passed; a failed test's log stays.
    ~TestLog();
    TestLog(const TestLog&) = delete;
    TestLog& operator=(const TestLog&) = delete;

    DiagnosticsLog& log() { return *m_log; }
    // The name the log was opened with, for a program that opens it too.
    const std::wstring& fileName() const { return m_fileName; }
    const std::wstring& path() const { return m_log->filePath(); }

    // The file's bytes; empty while there is no file.
    std::string text() const;
    bool contains(const std::string& text) const { return this->text().find(text) != std::string::npos; }
    std::vector<std::string> lines() const;
    // The messages of the lines (the text after "LEVEL : [TAG] : "), in order.
    std::vector<std::string> messages() const;
    // Waits (up to `timeoutMs`) for a message that begins with `prefix`.
    bool waitForMessage(const std::string& prefix, DWORD timeoutMs) const;
    // Messages that begin with `prefix`.
    std::vector<std::string> messagesStartingWith(const std::string& prefix) const;

private:
    std::wstring m_fileName;
    DiagnosticsLog* m_log;
};

}  // namespace vantor::testing
