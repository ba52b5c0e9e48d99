// The least a WinINet download into memory costs: InternetOpenUrlW with the
// downloader's request flags, then InternetReadFile in reads of the
// downloader's size, each appended to one growing buffer. Prints the bytes it
// got and the seconds it took, as "<bytes> <seconds>", like
// download_bench_client, so that download_bench.sh compares downloadToMemory
// with WinINet itself in the same Wine prefix.
//
// wininet.dll is loaded inside the timed part, by the downloader's loader, as
// the downloader loads it on its first use.
#include "bench/bench_timer.h"
#include "common/win/system_library.h"
#include "updater/download/chunk_downloader.h"
#include "updater/download/http_header_values.h"
#include "updater/download/wininet_api.h"

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>

namespace {

using vantor::download::InternetHandle;

// The body of `url`, or false when WinINet fails before its end.
bool readAll(const wchar_t* url, std::string& body)
{
    // Loaded by the downloader's own loader (from the system folder); the
    // one function the downloader has no use for comes from the same module.
    const vantor::download::WinInetApi* api = vantor::download::winInet();
    const auto openUrl = vantor::win::procAddress<decltype(::InternetOpenUrlW)>(
        vantor::win::loadSystemLibrary(L"wininet.dll"), "InternetOpenUrlW");
    if (api == nullptr || openUrl == nullptr) {
        return false;
    }
    const InternetHandle session(api->InternetOpenW(L"httpget", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) {
        return false;
    }
    const InternetHandle request(openUrl(session.get(), url, nullptr, 0, vantor::download::kPlainRequestFlags, 0));
    if (!request) {
        return false;
    }
    char buffer[vantor::download::ChunkDownloader::kReadSize];
    for (;;) {
        DWORD read = 0;
        if (!api->InternetReadFile(request.get(), buffer, sizeof buffer, &read)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        body.append(buffer, read);
    }
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
