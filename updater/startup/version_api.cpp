#include "updater/startup/version_api.h"

#include "common/win/system_library.h"

#include <type_traits>

namespace vantor {

const VersionApi& versionApi()
{
    static const VersionApi api = [] {
        VersionApi loaded;
        HMODULE module = win::loadSystemLibrary(L"version.dll");
        loaded.getFileVersionInfoSize =
            win::procAddress<std::remove_pointer_t<decltype(loaded.getFileVersionInfoSize)>>(module, "GetFileVersionInfoSizeW");
        loaded.getFileVersionInfo =
            win::procAddress<std::remove_pointer_t<decltype(loaded.getFileVersionInfo)>>(module, "GetFileVersionInfoW");
        loaded.verQueryValue =
            win::procAddress<std::remove_pointer_t<decltype(loaded.verQueryValue)>>(module, "VerQueryValueW");
        return loaded;
    }();
    return api;
}

}  // namespace vantor
