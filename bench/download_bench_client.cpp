// Downloads one URL with downloadToMemory and prints the bytes of text it
// got and the seconds it took, as "<characters> <seconds>". Driven by
// download_bench.sh, which times a bare WinINet loop and curl on the same
// body from the same server.
#include "bench/bench_timer.h"
#include "updater/download/file_downloader.h"
#include "updater/startup/diagnostics_log.h"

#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: download_bench_client <url>\n");
        return 2;
    }
    vantor::DiagnosticsLog log(L"vantor-download-bench.log");
    std::wstring text;
    const double seconds = vantor::bench::secondsFor(1, [&] {
        // The body is 32 MiB; downloads into memory stop at 1 MiB unless
        // told otherwise.
        text = vantor::download::downloadToMemory(L"BENCH", argv[1], log, 64u * 1024 * 1024);
    });
    std::printf("%zu %.6f\n", text.size(), seconds);
    return text.empty() ? 1 : 0;
}
