// readStringValue through the JNI test host against the registry sequence it
// wraps (RegOpenKeyW, RegQueryValueExW, RegCloseKey) done directly, on the
// same value in the same run. getVersion through the host shows what the
// host's own call machinery costs. Prints ratios only; no absolute times.
#include "bench/bench_timer.h"
#include "platform-access/tests/host/jni_host.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using vantor::jnihost::CallResult;
using vantor::jnihost::JniHost;
using vantor::jnihost::NativeLibrary;
using vantor::jnihost::ViolationMode;

}  // namespace

int main()
{
    const std::wstring subKey = L"Software\\VantorBench\\" + std::to_wstring(GetCurrentProcessId());
    const std::wstring data = L"C:\\Program Files\\Vantor\\Vantor.exe";
    if (RegSetKeyValueW(HKEY_CURRENT_USER, subKey.c_str(), L"exec", REG_SZ, data.c_str(),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
        std::printf("cannot create the benchmark's registry key\n");
        return 1;
    }

    int status = 0;
    {
        JniHost host;
        host.setViolationMode(ViolationMode::Collect);
        NativeLibrary& library = host.load();
        library.call("initialise");

        const CallResult check = library.call("readStringValue", {4, subKey, L"exec"});
        if (check.exception || check.value.kind() != vantor::jnihost::Value::Kind::String ||
            check.value.string() != data) {
            std::printf("readStringValue does not read the value: %s\n", check.value.describe().c_str());
            status = 1;
        }

        const int rounds = 250;
        const int repeats = 41;
        volatile std::size_t sink = 0;
        // The three take turns, round after round.
        const std::vector<double> seconds = vantor::bench::medianSecondsInTurns(
            repeats, rounds,
            {[&] {
                 vantor::win::RegKey opened;
                 if (RegOpenKeyW(HKEY_CURRENT_USER, subKey.c_str(), opened.put()) == ERROR_SUCCESS) {
                     wchar_t buffer[512];
                     DWORD type = 0;
                     DWORD size = sizeof buffer;
                     if (RegQueryValueExW(opened.get(), L"exec", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                                          &size) == ERROR_SUCCESS) {
                         sink = sink + size;
                     }
                 }
             },
             [&] { sink = sink + library.call("readStringValue", {4, subKey, L"exec"}).value.string().size(); },
             [&] { sink = sink + library.call("getVersion").value.string().size(); }});
        const double direct = seconds[0];
        const double throughHost = seconds[1];
        const double hostAlone = seconds[2];

        std::printf("registry read, %d calls per round, median of %d rounds, taking turns\n", rounds, repeats);
        std::printf("  readStringValue through the JNI host / direct RegOpenKeyW+RegQueryValueExW+RegCloseKey: %.2f\n",
                    throughHost / direct);
        std::printf("  getVersion through the JNI host (the host's own cost) / direct sequence:             %.2f\n",
                    hostAlone / direct);
        std::printf("  readStringValue less the host's own cost / direct sequence:                         %.2f\n",
                    (throughHost - hostAlone) / direct);

        const std::vector<std::string> violations = host.takeViolations();
        for (const std::string& violation : violations) {
            std::printf("JNI violation: %s\n", violation.c_str());
            status = 1;
        }
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, subKey.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VantorBench");
    return status;
}
