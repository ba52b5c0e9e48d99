// The version-resource functions of version.dll, loaded at run time from the
// system folder (see win/system_library.h for why).
#pragma once

#include <windows.h>

namespace vantor {

struct VersionApi {
    decltype(&::GetFileVersionInfoSizeW) getFileVersionInfoSize = nullptr;
    decltype(&::GetFileVersionInfoW) getFileVersionInfo = nullptr;
    decltype(&::VerQueryValueW) verQueryValue = nullptr;

    bool loaded() const { return getFileVersionInfoSize && getFileVersionInfo && verQueryValue; }
};

// Loaded on first use and kept until exit. Members are null when version.dll
// or one of its functions cannot be found.
const VersionApi& versionApi();

}  // namespace vantor
