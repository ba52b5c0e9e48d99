// The system's side of the command-line parsing: splitting and the program's
// own short path.
#include "updater/app/command_line_args.h"

#include "common/text/bounded_copy.h"
#include "common/win/unique_handle.h"

#include <windows.h>
#include <shellapi.h>

namespace vantor {

namespace {

// The program's own path as the first element would show it: the module
// path (1,000 characters) in short form (2,048 characters).
std::wstring ownPathForComparison()
{
    wchar_t path[1000];
    const DWORD length = GetModuleFileNameW(nullptr, path, 1000);
    if (length == 0 || length >= 1000) {
        return {};
    }
    wchar_t shortPath[2048];
    const DWORD shortLength = GetShortPathNameW(path, shortPath, 2048);
    if (shortLength == 0 || shortLength >= 2048) {
        return {};
    }
    return std::wstring(shortPath, shortLength);
}

}  // namespace

CommandLineArgs CommandLineArgs::fromCommandLine(const wchar_t* commandLine)
{
    const std::wstring copy = text::cut(std::wstring_view(commandLine ? commandLine : L""), kTextCapacity);
    std::vector<std::wstring> elements;
    // An empty text has no elements; CommandLineToArgvW would answer it with
    // the program's own path.
    if (!copy.empty()) {
        int count = 0;
        win::LocalMemory list(CommandLineToArgvW(copy.c_str(), &count));
        if (list) {
            wchar_t** arguments = static_cast<wchar_t**>(list.get());
            for (int i = 0; i < count; ++i) {
                elements.emplace_back(arguments[i]);
            }
        }
    }
    return CommandLineArgs(copy, elements, ownPathForComparison());
}

}  // namespace vantor
