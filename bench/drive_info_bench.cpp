// getDriveInfo and getAvailableDrives through the JNI test host against the
// Windows queries they wrap, done directly in the same run. getVersion
// through the host shows what the host's own call machinery costs. Prints
// ratios only; no absolute times.
#include "bench/bench_timer.h"
#include "platform-access/tests/host/jni_host.h"

#include <windows.h>
#include <cfgmgr32.h>
#include <winioctl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using vantor::bench::secondsFor;
using vantor::jnihost::CallResult;
using vantor::jnihost::JniHost;
using vantor::jnihost::NativeLibrary;
using vantor::jnihost::Value;
using vantor::jnihost::ViolationMode;

// What getDriveInfo asks Windows for c:, without building anything.
std::size_t queryDriveDirectly()
{
    std::size_t facts = GetDriveTypeW(L"c:\\");
    const vantor::win::Handle device(
        CreateFileW(L"\\\\.\\c:", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!device) {
        return facts;
    }
    DISK_GEOMETRY geometry{};
    DWORD returned = 0;
    facts += DeviceIoControl(device.get(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry, &returned,
                             nullptr);
    STORAGE_PROPERTY_QUERY query{};
    unsigned char descriptor[1024] = {};
    facts += DeviceIoControl(device.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, descriptor,
                             sizeof descriptor, &returned, nullptr);
    STORAGE_DEVICE_NUMBER number{};
    facts += DeviceIoControl(device.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number, &returned,
                             nullptr);
    vantor::win::RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\MountedDevices", 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS) {
        unsigned char value[512];
        DWORD size = sizeof value;
        if (RegQueryValueExW(key.get(), L"\\DosDevices\\c:", nullptr, nullptr, value, &size) == ERROR_SUCCESS &&
            size > 8) {
            // The identifier the value holds, looked up in the device tree.
            char identifier[256] = {};
            for (DWORD i = 4, n = 0; i < size / 2 && n + 1 < sizeof identifier && value[2 * i] != '{'; ++i) {
                identifier[n++] = static_cast<char>(value[2 * i]);
            }
            DEVINST node = 0;
            facts += CM_Locate_DevNodeA(&node, identifier, CM_LOCATE_DEVNODE_NORMAL) == CR_SUCCESS;
        }
    }
    return facts;
}

// What getAvailableDrives asks Windows, without building anything.
std::size_t listDrivesDirectly()
{
    std::size_t listed = 0;
    const DWORD drives = GetLogicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if ((drives & (1u << bit)) == 0) {
            continue;
        }
        const wchar_t root[] = {static_cast<wchar_t>(L'a' + bit), L':', L'\\', 0};
        const wchar_t device[] = {L'\\', L'\\', L'.', L'\\', static_cast<wchar_t>(L'a' + bit), L':', 0};
        if (GetDriveTypeW(root) == DRIVE_REMOTE) {
            continue;
        }
        const vantor::win::Handle opened(
            CreateFileW(device, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        if (opened) {
            ++listed;
        }
    }
    return listed;
}

}  // namespace

int main()
{
    int status = 0;
    JniHost host;
    host.setViolationMode(ViolationMode::Collect);
    NativeLibrary& library = host.load();
    library.call("initialise");

    const CallResult check = library.call("getDriveInfo", {L'c'});
    if (check.exception || check.value.kind() != Value::Kind::HashMap || check.value.get(L"DriveType") == nullptr) {
        std::printf("getDriveInfo does not describe c: %s\n", check.value.describe().c_str());
        status = 1;
    }

    // Each round times both sides back to back and keeps their ratio, so
    // that a change of the machine's load between rounds does not decide the
    // outcome; the median of the rounds' ratios is printed.
    const int repeats = 15;
    const int calls = 100;
    volatile std::size_t sink = 0;
    const auto medianRatio = [&](auto throughHost, auto direct) {
        std::vector<double> ratios;
        for (int round = 0; round < repeats; ++round) {
            const double hostTime = secondsFor(calls, throughHost);
            const double hostAlone =
                secondsFor(calls, [&] { sink = sink + library.call("getVersion").value.string().size(); });
            const double directTime = secondsFor(calls, direct);
            ratios.push_back((hostTime - hostAlone) / directTime);
        }
        return vantor::bench::median(ratios);
    };
    const double info = medianRatio([&] { sink = sink + library.call("getDriveInfo", {L'c'}).value.entries().size(); },
                                    [&] { sink = sink + queryDriveDirectly(); });
    const double list =
        medianRatio([&] { sink = sink + library.call("getAvailableDrives").value.elements().size(); },
                    [&] { sink = sink + listDrivesDirectly(); });

    std::printf("drives, %d calls per round, median of %d rounds, the host's own cost (getVersion) taken off\n",
                calls, repeats);
    std::printf("  getDriveInfo('c') / its Windows queries done directly:    %.2f\n", info);
    std::printf("  getAvailableDrives / its Windows queries done directly:   %.2f\n", list);

    for (const std::string& violation : host.takeViolations()) {
        std::printf("JNI violation: %s\n", violation.c_str());
        status = 1;
    }
    return status;
}
