// Building the dialog's text table from a language file: how it compares with
// merely decoding the file's bytes, and whether the parser stays linear when
// the text grows (one pass, no backtracking). Prints ratios measured in this
// run; no absolute times.
#include "bench/bench_timer.h"
#include "common/win/unique_handle.h"
#include "updater/ui/text_table.h"
#include "updater/ui/text_table_loader.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using vantor::bench::secondsFor;

std::string englishFile()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring updater(path, length);
    updater = updater.substr(0, updater.find_last_of(L"\\/") + 1) + L"VantorUpdater.exe";
    const vantor::win::Module module(
        LoadLibraryExW(updater.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    HRSRC resource = module ? FindResourceW(module.get(), MAKEINTRESOURCEW(104), L"LANGTEXT") : nullptr;
    if (resource == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module.get(), resource)));
    return std::string(bytes, SizeofResource(module.get(), resource));
}

}  // namespace

int main()
{
    const std::string file = englishFile();
    if (file.empty()) {
        std::printf("VantorUpdater.exe or its English texts not found beside the benchmark\n");
        return 1;
    }
    const int rounds = 2000;
    volatile std::size_t sink = 0;

    std::vector<wchar_t> units(2 * file.size() + 1);
    const double decodeOnly = secondsFor(rounds, [&] {
        sink = sink + static_cast<std::size_t>(MultiByteToWideChar(
                          CP_UTF8, 0, file.data(), static_cast<int>(file.size()), units.data(),
                          static_cast<int>(units.size())));
    });
    const double build = secondsFor(rounds, [&] {
        sink = sink + vantor::textTableFromMemory(file.data(), file.size(), 1033)->size();
    });

    // The same lines 64 times over, with keys made distinct per copy.
    std::wstring once(units.data(), static_cast<std::size_t>(MultiByteToWideChar(
                                        CP_UTF8, 0, file.data(), static_cast<int>(file.size()), units.data(),
                                        static_cast<int>(units.size()))));
    std::wstring many;
    for (int copy = 0; copy < 64; ++copy) {
        many += L"\r\nCOPY" + std::to_wstring(copy) + L"_";  // joins the first key of the copy
        many += once;
    }
    const double parseOnce = secondsFor(rounds, [&] {
        vantor::TextTable table;
        table.parse(once);
        sink = sink + table.size();
    });
    const int manyRounds = rounds / 64;
    const double parseMany = secondsFor(manyRounds, [&] {
        vantor::TextTable table;
        table.parse(many);
        sink = sink + table.size();
    });

    std::printf("language file: %zu bytes, %d builds\n", file.size(), rounds);
    std::printf("build table / decode only:             %.2f\n", build / decodeOnly);
    std::printf("parse per unit, 64x text / 1x text:    %.2f (1.00 = linear)\n",
                (parseMany / (static_cast<double>(manyRounds) * static_cast<double>(many.size()))) /
                    (parseOnce / (static_cast<double>(rounds) * static_cast<double>(once.size()))));
    return 0;
}
