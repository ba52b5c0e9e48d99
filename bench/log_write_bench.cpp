// Cost of one DiagnosticsLog::write against the least a line can cost: a
// plain open, append and close of the same bytes.
#include "bench/bench_timer.h"
#include "common/win/unique_handle.h"
#include "updater/startup/diagnostics_log.h"

#include <cstdio>
#include <string>

namespace {

constexpr int kLines = 2000;
constexpr int kRounds = 5;
const wchar_t* const kMessage = L"Local Java is found, check version...";

void plainAppend(const std::wstring& path, const std::string& line)
{
    const vantor::win::Handle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr));
    if (!file) {
        return;
    }
    LARGE_INTEGER zero{};
    SetFilePointerEx(file.get(), zero, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

int main()
{
    vantor::DiagnosticsLog log(L"vantor-log-bench.log");
    const std::wstring plainPath = log.filePath() + L".plain";
    // The same bytes that write produces for this message, time stamp aside.
    const std::string line = "[2026_12_8 19:45:3:123] INFO : [DEF] : Local Java is found, check version...\r\n";

    // Both loops stay well below the size limit, so neither restarts its file.
    const double logged = vantor::bench::medianSeconds(kRounds, [&] {
        DeleteFileW(log.filePath().c_str());
        for (int i = 0; i < kLines; ++i) {
            log.write(L"INFO", kMessage);
        }
    });
    const double plain = vantor::bench::medianSeconds(kRounds, [&] {
        DeleteFileW(plainPath.c_str());
        for (int i = 0; i < kLines; ++i) {
            plainAppend(plainPath, line);
        }
    });
    DeleteFileW(log.filePath().c_str());
    DeleteFileW(plainPath.c_str());

    std::printf("DiagnosticsLog::write: %.2f us per line (median of %d rounds of %d lines)\n", logged * 1e6 / kLines,
                kRounds, kLines);
    std::printf("plain open-append-close: %.2f us per line\n", plain * 1e6 / kLines);
    std::printf("ratio write / plain: %.2f\n", logged / plain);
    return 0;
}
