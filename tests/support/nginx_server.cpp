#include "tests/support/nginx_server.h"

#include "tests/support/download_test_support.h"

#include <gtest/gtest.h>

#ifndef VANTOR_TEST_NGINX
#error "VANTOR_TEST_NGINX must name the nginx program (a Unix path, empty when not installed)"
#endif
#ifndef VANTOR_TEST_OPENSSL
#error "VANTOR_TEST_OPENSSL must name the openssl program (a Unix path)"
#endif
#ifndef VANTOR_TEST_KILL
#error "VANTOR_TEST_KILL must name the kill program (a Unix path)"
#endif
#ifndef VANTOR_TEST_NGINX_LAUNCHER
#error "VANTOR_TEST_NGINX_LAUNCHER must name nginx_server.py (a Unix path)"
#endif

namespace vantor::testing {

namespace {

constexpr DWORD kStartMs = 20000;
constexpr DWORD kStopMs = 5000;
// How long the stalling location waits for an answer that never comes.
constexpr int kStallSeconds = 20;

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// Two ports on 127.0.0.1 where nothing listens (both bound at once, so that
// they differ, and closed again).
bool twoFreePorts(unsigned& first, unsigned& second)
{
    win::Socket sockets[2] = {win::Socket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)),
                              win::Socket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP))};
    unsigned ports[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (!sockets[i] || bind(sockets[i].get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(sockets[i].get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return false;
        }
        ports[i] = ntohs(address.sin_port);
    }
    first = ports[0];
    second = ports[1];
    return true;
}

// A socket that listens on a free loopback port and never accepts; its port,
// or 0.
unsigned listenWithoutAccepting(win::Socket& listener)
{
    listener.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (!listener || bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener.get(), 64) != 0 ||
        getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

std::string configuration(const std::string& folder, unsigned httpPort, unsigned httpsPort, unsigned silentPort)
{
    const std::string www = quoted(folder + "/www/");
    const std::string ssi = "ssi on; ssi_types *; ";
    return "daemon off;\n"
           "master_process off;\n"
           "pid " + quoted(folder + "/nginx.pid") + ";\n"
           "error_log " + quoted(folder + "/error.log") + " info;\n"
           "events { worker_connections 256; }\n"
           "http {\n"
           "  log_format requests '$request_method $request_uri $http_range $http_accept_encoding $status';\n"
           "  access_log " + quoted(folder + "/requests.log") + " requests;\n"
           "  client_body_temp_path " + quoted(folder + "/temp/body") + ";\n"
           "  proxy_temp_path " + quoted(folder + "/temp/proxy") + ";\n"
           "  fastcgi_temp_path " + quoted(folder + "/temp/fastcgi") + ";\n"
           "  uwsgi_temp_path " + quoted(folder + "/temp/uwsgi") + ";\n"
           "  scgi_temp_path " + quoted(folder + "/temp/scgi") + ";\n"
           "  server_tokens off;\n"
           "  default_type application/octet-stream;\n"
           "  server {\n"
           "    listen 127.0.0.1:" + std::to_string(httpPort) + ";\n"
           "    listen 127.0.0.1:" + std::to_string(httpsPort) + " ssl;\n"
           "    ssl_certificate " + quoted(folder + "/tls.crt") + ";\n"
           "    ssl_certificate_key " + quoted(folder + "/tls.key") + ";\n"
           "    location /static/ { alias " + www + "; }\n"
           "    location /noranges/ { alias " + www + "; max_ranges 0; }\n"
           "    location /ssi/ { alias " + www + "; " + ssi + "}\n"
           "    location /closed/ { alias " + www + "; " + ssi + "chunked_transfer_encoding off; }\n"
           "    location /gzip/ { alias " + www + "; gzip_static always; }\n"
           "    location /moved/ { rewrite ^/moved/(.*)$ /static/$1 redirect; }\n"
           "    location /stall/ {\n"
           "      if ($http_range = \"\") { rewrite ^/stall/(.*)$ /stalling/$1 last; }\n"
           "      alias " + www + ";\n"
           "    }\n"
           "    location /stalling/ { internal; alias " + quoted(folder + "/stalling/") + "; " + ssi + "}\n"
           "    location = /silent {\n"
           "      internal;\n"
           "      proxy_pass http://127.0.0.1:" + std::to_string(silentPort) + ";\n"
           "      proxy_read_timeout " + std::to_string(kStallSeconds) + "s;\n"
           "    }\n"
           "  }\n"
           "}\n";
}

// True while the Unix process `pid` exists.
bool unixProcessExists(unsigned long pid)
{
    const std::wstring proc = L"Z:\\proc\\" + std::to_wstring(pid);
    return GetFileAttributesW(proc.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool signalUnixProcess(unsigned long pid, const char* signal)
{
    return startUnixProgram(L"\"" + windowsPathOfUnixPath(VANTOR_TEST_KILL) + L"\" -" + widen(signal) + L" " +
                            std::to_wstring(pid));
}

}  // namespace

NginxServer::NginxServer()
{
    if (std::string(VANTOR_TEST_NGINX).empty()) {
        ADD_FAILURE() << "nginx is not installed (scripts/install-deps.sh installs it)";
        return;
    }
    WSADATA data;
    m_sockets = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    const unsigned silentPort = m_sockets ? listenWithoutAccepting(m_silent) : 0;
    if (silentPort == 0) {
        ADD_FAILURE() << "no listening socket for the stalling location";
        return;
    }
    createDirectories(m_folder / L"www");
    createDirectories(m_folder / L"stalling");
    // Another program may take a port between its test here and nginx's
    // bind: then nginx gives up, and another pair is tried.
    for (int attempt = 0; attempt < 3 && m_pid == 0; ++attempt) {
        if (!twoFreePorts(m_httpPort, m_httpsPort)) {
            ADD_FAILURE() << "no free loopback ports";
            return;
        }
        writeFileBytes(m_folder / L"nginx.conf",
                       configuration(unixPathOf(m_folder.path()), m_httpPort, m_httpsPort, silentPort));
        if (!start()) {
            return;
        }
    }
    if (m_pid == 0) {
        ADD_FAILURE() << "nginx did not start; its error log:\n" << errorLog();
    }
}

bool NginxServer::start()
{
    DeleteFileW((m_folder / L"error.log").c_str());
    const std::string folder = unixPathOf(m_folder.path());
    if (folder.empty()) {
        ADD_FAILURE() << "not running under Wine: no Unix path for " << narrow(m_folder.path());
        return false;
    }
    const std::wstring commandLine =
        L"\"" + windowsPathOfUnixPath(VANTOR_TEST_PYTHON) + L"\" " +
        widen(quoted(VANTOR_TEST_NGINX_LAUNCHER) + " --dir " + quoted(folder) + " --nginx " +
              quoted(VANTOR_TEST_NGINX) + " --openssl " + quoted(VANTOR_TEST_OPENSSL));
    if (!startUnixProgram(commandLine)) {
        ADD_FAILURE() << "cannot start nginx_server.py, error " << GetLastError();
        return false;
    }
    const std::wstring pidFile = m_folder / L"nginx.pid";
    const std::wstring errorFile = m_folder / L"error.log";
    // nginx writes its process id once it listens; a failure to listen is
    // "[emerg]" in its log, after which it ends.
    waitUntil(
        [&] {
            const std::string pid = fileExists(pidFile) ? readFileBytes(pidFile) : std::string();
            if (!pid.empty() && pid.back() == '\n') {
                m_pid = std::stoul(pid);
                return true;
            }
            return fileExists(errorFile) && readFileBytes(errorFile).find("[emerg]") != std::string::npos;
        },
        kStartMs);
    return true;
}

NginxServer::~NginxServer()
{
    stop();
    m_silent.reset();
    if (m_sockets) {
        WSACleanup();
    }
}

void NginxServer::stop()
{
    if (m_pid == 0) {
        return;
    }
    if (signalUnixProcess(m_pid, "TERM") && waitUntil([&] { return !unixProcessExists(m_pid); }, kStopMs)) {
        return;
    }
    signalUnixProcess(m_pid, "KILL");
    if (!waitUntil([&] { return !unixProcessExists(m_pid); }, kStopMs)) {
        ADD_FAILURE() << "nginx " << m_pid << " did not end";
    }
}

std::wstring NginxServer::url(const std::wstring& pathAndQuery) const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_httpPort) + pathAndQuery;
}

std::wstring NginxServer::httpsUrl(const std::wstring& pathAndQuery) const
{
    return L"https://127.0.0.1:" + std::to_wstring(m_httpsPort) + pathAndQuery;
}

void NginxServer::writeFile(const std::wstring& relativePath, const std::string& bytes) const
{
    std::wstring path = m_folder / relativePath;
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    createDirectories(path.substr(0, path.find_last_of(L'\\')));
    writeFileBytes(path, bytes);
}

void NginxServer::putFile(const std::wstring& name, const std::string& bytes)
{
    writeFile(L"www\\" + name, bytes);
}

void NginxServer::putStallingFile(const std::wstring& name, const std::string& bytes, std::size_t stallAfter)
{
    putFile(name, bytes);
    const std::string head = bytes.substr(0, stallAfter);
    // The page is read for includes: its text must hold none of its own.
    ASSERT_EQ(std::string::npos, head.find("<!--#"));
    writeFile(L"stalling\\" + name, head + "<!--# include virtual=\"/silent\" -->");
}

std::vector<std::string> NginxServer::requests() const
{
    const std::wstring log = m_folder / L"requests.log";
    return fileExists(log) ? readLines(log) : std::vector<std::string>{};
}

std::string NginxServer::errorLog() const
{
    const std::wstring log = m_folder / L"error.log";
    return fileExists(log) ? readFileBytes(log) : std::string();
}

}  // namespace vantor::testing
