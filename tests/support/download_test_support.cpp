#include "tests/support/download_test_support.h"

#include "common/win/socket.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string_view>

#ifndef VANTOR_TEST_PYTHON
#error "VANTOR_TEST_PYTHON must name the python3 interpreter (a Unix path)"
#endif
#ifndef VANTOR_TEST_SERVER_SCRIPT
#error "VANTOR_TEST_SERVER_SCRIPT must name loopback_http_server.py (a Unix path)"
#endif
#ifndef VANTOR_TEST_TLS_PEM
#error "VANTOR_TEST_TLS_PEM must name loopback_tls.pem (a Unix path)"
#endif

namespace vantor::testing {

// Wine maps the Unix root to drive Z:.
std::wstring windowsPathOfUnixPath(const std::string& unixPath)
{
    std::wstring path = L"Z:" + widen(unixPath);
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

namespace {

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

}  // namespace

LoopbackServer::LoopbackServer(bool tls) : m_tls(tls)
{
    const std::string folder = unixPathOf(m_folder.path());
    if (folder.empty()) {
        ADD_FAILURE() << "not running under Wine: no Unix path for " << narrow(m_folder.path());
        return;
    }
    createDirectories(m_folder / L"www");
    std::wstring commandLine = L"\"" + windowsPathOfUnixPath(VANTOR_TEST_PYTHON) + L"\" " +
                               widen(quoted(VANTOR_TEST_SERVER_SCRIPT) + " --dir " + quoted(folder) +
                                     (tls ? " --tls " + quoted(VANTOR_TEST_TLS_PEM) : std::string()));
    if (!startUnixProgram(commandLine)) {
        ADD_FAILURE() << "cannot start the loopback server, error " << GetLastError();
        return;
    }
    const std::wstring portFile = m_folder / L"port";
    for (int i = 0; i < 1500 && m_port == 0; ++i) {
        const std::string text = fileExists(portFile) ? readFileBytes(portFile) : std::string();
        if (!text.empty() && text.back() == '\n') {
            m_port = static_cast<unsigned>(std::stoul(text));
        } else {
            Sleep(10);
        }
    }
    if (m_port == 0) {
        ADD_FAILURE() << "the loopback server did not report its port";
    }
}

LoopbackServer::~LoopbackServer() = default;

std::wstring LoopbackServer::base() const
{
    return (m_tls ? L"https://127.0.0.1:" : L"http://127.0.0.1:") + std::to_wstring(m_port);
}

std::wstring LoopbackServer::url(const std::wstring& pathAndQuery) const
{
    return base() + pathAndQuery;
}

std::vector<std::string> LoopbackServer::requests() const
{
    return linesOf(L"requests.log");
}

std::vector<std::string> LoopbackServer::endlessBodiesSent() const
{
    return linesOf(L"sent.log");
}

std::vector<std::string> LoopbackServer::linesOf(const wchar_t* logName) const
{
    const std::wstring log = m_folder / logName;
    return fileExists(log) ? readLines(log) : std::vector<std::string>{};
}

void LoopbackServer::putFile(const std::wstring& relativePath, const std::string& bytes)
{
    std::wstring path = m_folder / (L"www\\" + relativePath);
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    createDirectories(path.substr(0, path.find_last_of(L'\\')));
    writeFileBytes(path, bytes);
}

std::string patternBody(std::size_t size)
{
    std::string body;
    body.reserve(size + 8);
    char record[16];
    for (std::size_t k = 0; body.size() < size; ++k) {
        std::snprintf(record, sizeof record, "%07u\n", static_cast<unsigned>(k % 10000000));
        body += record;
    }
    body.resize(size);
    return body;
}

unsigned closedPort()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return 0;
    }
    unsigned port = 0;
    {
        const win::Socket probe(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        if (probe && bind(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            int length = sizeof address;
            getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &length);
            port = ntohs(address.sin_port);
        }
    }
    WSACleanup();
    return port;
}

::testing::AssertionResult sameText(const std::wstring& expected, const std::wstring& actual)
{
    if (expected == actual) {
        return ::testing::AssertionSuccess();
    }
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) {
        ++at;
    }
    return ::testing::AssertionFailure() << "texts of " << expected.size() << " and " << actual.size()
                                         << " characters differ from index " << at;
}

}  // namespace vantor::testing
