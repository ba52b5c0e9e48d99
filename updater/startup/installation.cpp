#include "updater/startup/installation.h"

#include "common/text/bounded_copy.h"
#include "common/win/unique_handle.h"
#include "updater/startup/path_text.h"
#include "updater/startup/stored_text.h"
#include "updater/startup/version_api.h"

#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

namespace vantor {

namespace {

// The probe file's full name (see stored_text.h): the folder, then a file
// named by a fixed prefix and the GUID text.
const wchar_t* probeFileFormat()
{
    static const wchar_t* const format = joinStoredText(L"%ls\\", L"vup%ls.tmp");
    return format;
}

}  // namespace

SystemVersion systemVersion()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) {
        return {};
    }
    return SystemVersion{info.dwMajorVersion, info.dwPlatformId};
}

std::wstring newGuidText()
{
    GUID guid{};
    wchar_t text[256] = {};
    if (FAILED(CoCreateGuid(&guid)) || StringFromGUID2(guid, text, 256) == 0) {
        return {};
    }
    std::wstring result(text);
    if (!result.empty() && result.back() == L'}') {
        result.pop_back();
    }
    if (!result.empty() && result.front() == L'{') {
        result.erase(0, 1);
    }
    return result;
}

bool canWriteToFolder(const std::wstring& folder)
{
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    const bool isDirectory = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!isDirectory && SHCreateDirectory(nullptr, folder.c_str()) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring guid = newGuidText();
    wchar_t probe[260];
    if (std::swprintf(probe, 260, probeFileFormat(), folder.c_str(), guid.c_str()) < 0) {
        return false;  // the probe's name does not fit
    }
    win::Handle file(CreateFileW(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) {
        return false;
    }
    file.reset();
    DeleteFileW(probe);
    return true;
}

ProductVersion readProductVersion(const std::wstring& path)
{
    const VersionApi& api = versionApi();
    if (!api.loaded()) {
        return {};
    }
    DWORD ignored = 0;
    const DWORD size = api.getFileVersionInfoSize(path.c_str(), &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<BYTE> data(size, 0);
    if (!api.getFileVersionInfo(path.c_str(), 0, size, data.data())) {
        return {};
    }
    void* block = nullptr;
    UINT length = 0;
    if (!api.verQueryValue(data.data(), L"\\", &block, &length) || block == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return {};
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    return ProductVersion::fromWords(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
}

bool isNewerThanInstalled(const std::wstring& installed)
{
    return isNewer(readProductVersion(ownShortPath(260)), readProductVersion(installed));
}

std::wstring readInstallExecPath(const std::wstring& subkey)
{
    constexpr std::size_t kOutputCapacity = 1024;
    win::RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return {};
    }
    // Room for 1,024 bytes of data and a terminator that the value may lack.
    wchar_t data[512 + 1] = {};
    DWORD type = 0;
    DWORD size = 1024;
    if (RegQueryValueExW(key.get(), L"exec", nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
        return {};
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_BINARY && type != REG_MULTI_SZ) {
        return {};
    }
    std::wstring text(data, text::boundedLength(data, size / sizeof(wchar_t)));
    if (type == REG_EXPAND_SZ) {
        wchar_t expanded[kOutputCapacity];
        const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), expanded, kOutputCapacity);
        if (needed == 0 || needed > kOutputCapacity) {
            return {};  // a cut path would name the wrong program
        }
        text.assign(expanded);
    }
    if (!text::fits(text.size(), kOutputCapacity)) {
        return {};
    }
    return text;
}

std::wstring appDataFolder()
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return {};
    }
    return folder;
}

namespace {

// The module path as read into a buffer of `capacity` characters; empty when
// it does not fit (GetModuleFileNameW then returns the full buffer).
std::wstring modulePath(DWORD capacity)
{
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), capacity);
    if (length == 0 || length >= capacity) {
        return {};
    }
    return std::wstring(buffer.data(), length);
}

}  // namespace

std::wstring ownShortPath(std::size_t capacity)
{
    const std::wstring path = modulePath(1000);
    if (path.empty() || capacity == 0) {
        return {};
    }
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(capacity));
    if (length > 0 && length < capacity) {
        return std::wstring(buffer.data(), length);
    }
    // Without a short form the long one serves, if it fits.
    return text::fits(path.size(), capacity) ? path : std::wstring();
}

std::wstring ownLongFileName()
{
    const std::wstring path = modulePath(2048);
    if (path.empty()) {
        return {};
    }
    wchar_t longPath[2048];
    const DWORD length = GetLongPathNameW(path.c_str(), longPath, 2048);
    if (length == 0 || length >= 2048) {
        return fileNameOf(path);
    }
    return fileNameOf(std::wstring(longPath, length));
}

}  // namespace vantor
