// The update run's own cost.
//
// Runs the real updater from a demo installation's program folder (stand-in
// Java runtime whose programs exit at once, and a loopback runtime download
// server for the runtime descriptor), from its start to the end of its
// elevated copy, and compares the time with what the run cannot avoid: the
// fixed pauses of the flow (the server waits 1,000 ms before it opens the
// pipe, and every waited process is given 200 ms to start) and the starts of
// the processes it needs (the client, the runtime's version query, the
// elevated copy and the Java updater), each counted as one bare program
// start measured in the same Wine prefix. The printed ratio is
//   (wall time - fixed pauses) / (processes started x bare program start).
// A ratio near 1 means the run costs little beyond starting its processes.
#include "bench/bench_timer.h"
#include "tests/support/jvm_test_support.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace vantor::testing;
using vantor::bench::median;
using vantor::bench::medianSeconds;

namespace {

constexpr int kBareStarts = 10;
constexpr int kRuns = 5;
// The client, the version query, the elevated copy, the Java updater.
constexpr int kProcessesStarted = 4;
// The server's wait for the pipe; the version query and the Java updater are
// waited for.
constexpr double kFixedPausesMs = 1000.0 + 2 * 200.0;

double nowMs()
{
    return 1000.0 * vantor::bench::now();
}

int countLines(const std::wstring& path, const std::string& text)
{
    int count = 0;
    for (const std::string& line : readLines(path)) {
        if (line.find(text) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

}  // namespace

int main()
{
    TempDir root;
    TempDir temp;
    const std::wstring program = root / L"Program";
    installStandIn(program + L"\\Vantor.exe", "exit=0");
    installRuntime(program + L"\\jre", {});
    // The updater finds the server through this process's environment.
    RuntimeServer descriptorServer;
    if (!descriptorServer.server().running()) {
        std::printf("the loopback runtime download server did not start\n");
        return 1;
    }
    copyFile(binPath(L"VantorUpdater.exe"), program + L"\\VantorUpdater.exe");
    RegistryValueOverride exec(L"Software\\Vantor", L"exec");
    exec.set(program + L"\\Vantor.exe");

    // Baseline: a bare program start in this prefix.
    const double bareMs =
        1000.0 * medianSeconds(kBareStarts, [&] { runProcess(L"\"" + program + L"\\Vantor.exe\""); });

    ProcessOptions options;
    options.environment[L"TMP"] = temp.path();
    options.environment[L"TEMP"] = temp.path();
    options.currentDirectory = program;
    const std::wstring log = temp / L"VantorUpdater.log";
    std::vector<double> runs;
    for (int i = 0; i < kRuns; ++i) {
        const double start = nowMs();
        const ProcessResult result = runProcess(L"\"" + program + L"\\VantorUpdater.exe\"", options);
        while (countLines(log, "Server is stopped") < i + 1 && nowMs() - start < 60000) {
            Sleep(1);
        }
        runs.push_back(nowMs() - start);
        if (result.exitCode != 0 || countLines(log, "Server is stopped") < i + 1) {
            std::printf("update run %d failed (exit code %u); see %ls\n", i, result.exitCode, log.c_str());
            return 1;
        }
    }
    const double runMs = median(runs);
    const double ratio = (runMs - kFixedPausesMs) / (kProcessesStarted * bareMs);

    std::printf("bare program start (median of %d): %.1f ms\n", kBareStarts, bareMs);
    std::printf("update run, start to server end (median of %d): %.1f ms\n", kRuns, runMs);
    std::printf("fixed pauses: %.0f ms; processes started: %d\n", kFixedPausesMs, kProcessesStarted);
    std::printf("update run cost ratio: %.2f\n", ratio);
    return 0;
}
