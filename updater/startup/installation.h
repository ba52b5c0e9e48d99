// What the update flow asks about the installation and the system: the
// registered main program, product versions, the running program's own
// path, the application-data folder, the system version and whether a
// folder is writable.
#pragma once

#include "updater/startup/product_version.h"

#include <windows.h>

#include <cstddef>
#include <string>

namespace vantor {

// The text of HKEY_CURRENT_USER\<subkey> value "exec" (environment references
// expanded for REG_EXPAND_SZ), or empty when there is none, it is not a text,
// or it does not fit 1,023 characters.
std::wstring readInstallExecPath(const std::wstring& subkey);

// Product version of an executable; 0.0.0.0 without version information.
ProductVersion readProductVersion(const std::wstring& path);

// True when the running program's product version is greater than that of
// the installed updater at `installed`.
bool isNewerThanInstalled(const std::wstring& installed);

// The running program's full path in short (8.3) form, as a buffer of
// `capacity` characters holds it. The module path is read with 1,000
// characters first.
std::wstring ownShortPath(std::size_t capacity);

// The file-name part of the running program's long path.
std::wstring ownLongFileName();

// The user's roaming application-data folder (CSIDL_APPDATA); empty when it
// cannot be determined.
std::wstring appDataFolder();

// GetVersionExW's major version and platform; 0 when the query fails.
struct SystemVersion {
    DWORD major = 0;
    DWORD platform = 0;
};
SystemVersion systemVersion();

// True when a file can be created in `folder`; the folder and its missing
// parents are created first when it does not exist.
bool canWriteToFolder(const std::wstring& folder);

// A new GUID as 36 upper-case characters in groups 8-4-4-4-12, no braces.
std::wstring newGuidText();

}  // namespace vantor
