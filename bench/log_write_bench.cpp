// Cost of one DiagnosticsLog::write against the least a line can cost: a
// plain open, append and close of the same bytes.
#include "bench/bench_timer.h"
#include "common/win/unique_handle.h"
#include "updater/startup/diagnostics_log.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kLines = 50;
constexpr int kRounds = 201;
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

    // The two take turns, round after round, in short rounds, so that a
    // change of the machine's load falls on both alike. The log restarts its
    // file a few times on the way, as it does in use.
    DeleteFileW(log.filePath().c_str());
    DeleteFileW(plainPath.c_str());
    const std::vector<double> seconds = vantor::bench::medianSecondsInTurns(
        kRounds, 1,
        {[&] {
             for (int i = 0; i < kLines; ++i) {
                 log.write(L"INFO", kMessage);
             }
         },
         [&] {
             for (int i = 0; i < kLines; ++i) {
                 plainAppend(plainPath, line);
             }
         }});
    const double logged = seconds[0];
    const double plain = seconds[1];
    DeleteFileW(log.filePath().c_str());
    DeleteFileW(plainPath.c_str());

    std::printf("DiagnosticsLog::write: %.2f us per line (median of %d rounds of %d lines, taking turns)\n",
                logged * 1e6 / kLines, kRounds, kLines);
    std::printf("plain open-append-close: %.2f us per line\n", plain * 1e6 / kLines);
    std::printf("ratio write / plain: %.2f\n", logged / plain);
    return 0;
}
