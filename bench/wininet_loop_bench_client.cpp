// The least a WinINet download into memory costs: InternetOpenUrlW with the
// downloader's request flags, then InternetReadFile in reads of the
// downloader's size, each appended to one growing buffer. Prints the bytes it
// got and the seconds it took, as "<bytes> <seconds>", like
// download_bench_client, so that download_bench.sh compares downloadToMemory
// with WinINet itself in the same Wine prefix.
//
// wininet.dll is loaded inside the timed part, as the downloader loads it on
// its first use.
#include "bench/bench_timer.h"
#include "updater/download/chunk_downloader.h"
#include "updater/download/http_header_values.h"

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>

namespace {

struct BareWinInet {
    decltype(&::InternetOpenW) InternetOpenW = nullptr;
    decltype(&::InternetOpenUrlW) InternetOpenUrlW = nullptr;
    decltype(&::InternetReadFile) InternetReadFile = nullptr;
    decltype(&::InternetCloseHandle) InternetCloseHandle = nullptr;
};

template <typename Function>
bool load(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

// The body of `url`, or false when WinINet fails before its end.
bool readAll(const wchar_t* url, std::string& body)
{
    const HMODULE module = LoadLibraryW(L"wininet.dll");
    BareWinInet api;
    if (module == nullptr || !load(module, "InternetOpenW", api.InternetOpenW) ||
        !load(module, "InternetOpenUrlW", api.InternetOpenUrlW) ||
        !load(module, "InternetReadFile", api.InternetReadFile) ||
        !load(module, "InternetCloseHandle", api.InternetCloseHandle)) {
        return false;
    }
    const HINTERNET session = api.InternetOpenW(L"httpget", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session == nullptr) {
        return false;
    }
    bool success = false;
    const HINTERNET request =
        api.InternetOpenUrlW(session, url, nullptr, 0, vantor::download::kPlainRequestFlags, 0);
    if (request != nullptr) {
        char buffer[vantor::download::ChunkDownloader::kReadSize];
        for (;;) {
            DWORD read = 0;
            if (!api.InternetReadFile(request, buffer, sizeof buffer, &read)) {
                break;
            }
            if (read == 0) {
                success = true;
                break;
            }
            body.append(buffer, read);
        }
        api.InternetCloseHandle(request);
    }
    api.InternetCloseHandle(session);
    return success;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: wininet_loop_bench_client <url>\n");
        return 2;
    }
    std::string body;
    bool success = false;
    const double seconds = vantor::bench::secondsFor(1, [&] { success = readAll(argv[1], body); });
    std::printf("%zu %.6f\n", body.size(), seconds);
    return success && !body.empty() ? 0 : 1;
}
