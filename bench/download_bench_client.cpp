// Downloads one URL with downloadToMemory and prints the bytes of text it
// got and the seconds it took, as "<characters> <seconds>". Driven by
// download_bench.sh, which times a bare WinINet loop and curl on the same
// body from the same server.
#include "diagnostics_log.h"
#include "file_downloader.h"

#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: download_bench_client <url>\n");
        return 2;
    }
    vantor::DiagnosticsLog log(L"vantor-download-bench.log");
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    // The body is 32 MiB; downloads into memory stop at 1 MiB unless told
    // otherwise.
    const std::wstring text = vantor::download::downloadToMemory(L"BENCH", argv[1], log, 64u * 1024 * 1024);
    QueryPerformanceCounter(&end);
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("%zu %.6f\n", text.size(), seconds);
    return text.empty() ? 1 : 0;
}
