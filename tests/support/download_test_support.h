// Test support for the downloader: the loopback HTTP server (a python3
// script started through Wine, which can start Unix programs), and with it
// a log file of the test's own.
#pragma once

#include "tests/support/test_log.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace vantor::testing {

// One server per object, on a free port of its own, serving until the
// object goes (it ends when its folder disappears). A TLS server presents a
// self-signed certificate for another host name that expired in 2001.
class LoopbackServer {
public:
    explicit LoopbackServer(bool tls = false);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool running() const { return m_port != 0; }
    unsigned port() const { return m_port; }
    // "http://127.0.0.1:<port>" ("https" for a TLS server)
    std::wstring base() const;
    // base() + pathAndQuery (which starts with "/").
    std::wstring url(const std::wstring& pathAndQuery) const;
    // The requests received so far, "METHOD PATH RANGE" each.
    std::vector<std::string> requests() const;
    // For each endless body (endless=1) whose client has gone away: "PATH N",
    // N the bytes sent.
    std::vector<std::string> endlessBodiesSent() const;
    // Serves `bytes` at /<relativePath>.
    void putFile(const std::wstring& relativePath, const std::string& bytes);

private:
    // The lines of one of the server's logs in its folder.
    std::vector<std::string> linesOf(const wchar_t* logName) const;

    TempDir m_folder;
    bool m_tls;
    unsigned m_port = 0;
};

// Compares long texts (a downloaded body) without printing them whole: a
// failure gives both lengths and the first index where they differ.
::testing::AssertionResult sameText(const std::wstring& expected, const std::wstring& actual);

// The Windows path (on drive Z:) of a Unix path, to start a Unix program by.
std::wstring windowsPathOfUnixPath(const std::string& unixPath);

// The body that the server generates for size=N.
std::string patternBody(std::size_t size);

// A port on 127.0.0.1 where nothing listens (bound and closed again).
unsigned closedPort();

}  // namespace vantor::testing
