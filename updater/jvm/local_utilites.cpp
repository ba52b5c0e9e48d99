#include "updater/jvm/local_utilites.h"

#include "common/win/unique_handle.h"
#include "updater/jvm/launcher_stop.h"
#include "updater/startup/diagnostics_log.h"

#include <windows.h>

#include <stdexcept>

namespace vantor {

bool LocalUtilites::fileExists(const std::wstring& path)
{
    try {
        // The system would read such a path only up to the NUL and answer
        // for another one.
        if (path.find(L'\0') != std::wstring::npos) {
            throw std::invalid_argument("path with a NUL character");
        }
        WIN32_FIND_DATAW entry;
        const win::FindHandle search(FindFirstFileW(path.c_str(), &entry));
        return static_cast<bool>(search);
    } catch (const LauncherStopped&) {
        throw;
    } catch (...) {
        if (currentLog != nullptr) {
            currentLog->write(L"INFO", L"Exception in LocalUtilites.fileExists()");
        }
        throw;
    }
}

bool LocalUtilites::isExistingFile(const std::wstring& path)
{
    if (path.find(L'\0') != std::wstring::npos) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool LocalUtilites::readWholeFile(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    if (path.find(L'\0') != std::wstring::npos) {
        return false;
    }
    const win::Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > bytes.max_size()) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t left = bytes.size() - done;
        const DWORD wanted = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, wanted, &read, nullptr) || read == 0) {
            bytes.clear();
            return false;
        }
        done += read;
    }
    return true;
}

}  // namespace vantor
