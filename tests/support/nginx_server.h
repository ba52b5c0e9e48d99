// nginx on loopback for the downloader's tests: a real web server, started
// from the test program under Wine as the test's own process (in the
// foreground, a single process, every file in the test's folder) and stopped
// by its process id when the object goes.
#pragma once

#include "common/win/socket.h"
#include "tests/support/test_support.h"

#include <windows.h>

#include <string>
#include <vector>

namespace vantor::testing {

// One nginx per object, listening on free loopback ports for HTTP and for
// HTTPS (a self-signed certificate for the host vantor.invalid, made when it
// starts). The files put with putFile (under www/) are served at:
//   /static/<name>    as they are, with "Accept-Ranges: bytes"; a missing
//                     file gets nginx's 404 page
//   /noranges/<name>  as they are, without Accept-Ranges (ranges off)
//   /ssi/<name>       with server-side includes, so the body is chunked
//   /closed/<name>    with server-side includes and without chunking: no
//                     length, the body ends when the connection closes
//   /gzip/<name>      <name>.gz with "Content-Encoding: gzip", whether the
//                     client asked for it or not
//   /moved/<name>     302 to /static/<name>
//   /stall/<name>     a request without a Range header gets the file's first
//                     bytes (see putStallingFile) and then nothing for 20 s;
//                     one with a Range header gets the file as /static/ does
class NginxServer {
public:
    NginxServer();
    // Ends nginx by its process id and waits for it to go.
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool running() const { return m_pid != 0; }
    unsigned long pid() const { return m_pid; }
    // "http://127.0.0.1:<port>" + pathAndQuery (which starts with "/").
    std::wstring url(const std::wstring& pathAndQuery) const;
    // The same over HTTPS.
    std::wstring httpsUrl(const std::wstring& pathAndQuery) const;

    // Puts `bytes` at www/<name> (name relative, with "/" between folders).
    void putFile(const std::wstring& name, const std::string& bytes);
    // Puts `bytes` at www/<name> and makes /stall/<name> stop after its
    // first `stallAfter` bytes for requests without a Range header.
    void putStallingFile(const std::wstring& name, const std::string& bytes, std::size_t stallAfter);

    // The requests nginx has finished, in order: "METHOD URI RANGE ENCODING
    // STATUS", with the Range and Accept-Encoding headers ("-" when absent).
    std::vector<std::string> requests() const;
    // nginx's error log.
    std::string errorLog() const;

private:
    bool start();
    void stop();
    void writeFile(const std::wstring& relativePath, const std::string& bytes) const;

    TempDir m_folder;
    bool m_sockets = false;  // Windows Sockets started
    // Accepts nothing: what nginx proxies to for a stall gets connected (the
    // system completes the handshake) and never answered.
    win::Socket m_silent;
    unsigned m_httpPort = 0;
    unsigned m_httpsPort = 0;
    unsigned long m_pid = 0;
};

}  // namespace vantor::testing
