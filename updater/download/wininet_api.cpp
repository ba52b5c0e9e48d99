#include "updater/download/wininet_api.h"

#include "common/win/system_library.h"

namespace vantor::download {

namespace {

struct LoadedApi {
    WinInetApi api;
    bool complete = false;
    DWORD error = ERROR_SUCCESS;
};

template <typename Function>
bool load(HMODULE module, Function*& slot, const char* name)
{
    slot = win::procAddress<Function>(module, name);
    return slot != nullptr;
}

LoadedApi loadApi()
{
    LoadedApi loaded;
    // Never freed: the table's functions are used until the process ends.
    const HMODULE module = win::loadSystemLibrary(L"wininet.dll");
    if (module == nullptr) {
        loaded.error = GetLastError();
        return loaded;
    }
    WinInetApi& api = loaded.api;
    loaded.complete = load(module, api.InternetOpenW, "InternetOpenW") &&
                      load(module, api.InternetConnectW, "InternetConnectW") &&
                      load(module, api.InternetSetOptionW, "InternetSetOptionW") &&
                      load(module, api.InternetQueryOptionW, "InternetQueryOptionW") &&
                      load(module, api.InternetCrackUrlW, "InternetCrackUrlW") &&
                      load(module, api.InternetCombineUrlW, "InternetCombineUrlW") &&
                      load(module, api.InternetReadFile, "InternetReadFile") &&
                      load(module, api.InternetCloseHandle, "InternetCloseHandle") &&
                      load(module, api.HttpOpenRequestW, "HttpOpenRequestW") &&
                      load(module, api.HttpAddRequestHeadersW, "HttpAddRequestHeadersW") &&
                      load(module, api.HttpSendRequestW, "HttpSendRequestW") &&
                      load(module, api.HttpQueryInfoW, "HttpQueryInfoW");
    if (!loaded.complete) {
        loaded.error = GetLastError();
    }
    return loaded;
}

}  // namespace

const WinInetApi* winInet()
{
    static const LoadedApi loaded = loadApi();
    if (!loaded.complete) {
        SetLastError(loaded.error);
        return nullptr;
    }
    return &loaded.api;
}

void InternetHandleTraits::close(HINTERNET h) noexcept
{
    // A handle exists only if the table was loaded.
    if (const WinInetApi* api = winInet()) {
        api->InternetCloseHandle(h);
    }
}

}  // namespace vantor::download
