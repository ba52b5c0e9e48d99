// Test fixture for the installation and elevation helpers, built several
// times with different version resources:
//   newer <installed>      exits 1 when isNewerThanInstalled(installed), else 0
//   version <path>         prints readProductVersion(path) as a.b.c.d
//   elevate <record> <log> calls startElevatedServer(log, "record <record>")
//                          and exits 1 when it reports a start, else 0
//   record <record> ...    (the started copy) appends its own module path and
//                          command line to <record>
#include "tests/support/utf8.h"
#include "updater/startup/diagnostics_log.h"
#include "updater/startup/elevation.h"
#include "updater/startup/installation.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void appendLine(const std::wstring& path, const std::wstring& line)
{
    const vantor::win::Handle file(
        CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr));
    if (!file) {
        return;
    }
    const std::string bytes = vantor::testing::narrow(line + L"\r\n");
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        return 2;
    }
    const std::wstring command = argv[1];
    if (command == L"newer") {
        return vantor::isNewerThanInstalled(argv[2]) ? 1 : 0;
    }
    if (command == L"version") {
        const vantor::ProductVersion v = vantor::readProductVersion(argv[2]);
        std::printf("%u.%u.%u.%u", v.major, v.minor, v.build, v.revision);
        return 0;
    }
    if (command == L"elevate" && argc >= 4) {
        vantor::DiagnosticsLog log(argv[3]);
        return vantor::startElevatedServer(log, std::wstring(L"record \"") + argv[2] + L"\"") ? 1 : 0;
    }
    if (command == L"record") {
        wchar_t own[2048];
        const DWORD length = GetModuleFileNameW(nullptr, own, 2048);
        appendLine(argv[2], std::wstring(own, length));
        appendLine(argv[2], GetCommandLineW());
        return 0;
    }
    return 2;
}
