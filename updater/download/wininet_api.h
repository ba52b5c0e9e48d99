// WinINet, loaded at run time.
//
// The updater must not import wininet.dll: a DLL outside the KnownDLLs list
// would be looked for beside the program first. It is loaded once, by its
// full path in the system folder, and the functions the downloader uses are
// kept in a table that lives until the process ends.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "common/win/unique_handle.h"

namespace vantor::download {

struct WinInetApi {
    decltype(&::InternetOpenW) InternetOpenW = nullptr;
    decltype(&::InternetConnectW) InternetConnectW = nullptr;
    decltype(&::InternetSetOptionW) InternetSetOptionW = nullptr;
    decltype(&::InternetQueryOptionW) InternetQueryOptionW = nullptr;
    decltype(&::InternetCrackUrlW) InternetCrackUrlW = nullptr;
    decltype(&::InternetCombineUrlW) InternetCombineUrlW = nullptr;
    decltype(&::InternetReadFile) InternetReadFile = nullptr;
    decltype(&::InternetCloseHandle) InternetCloseHandle = nullptr;
    decltype(&::HttpOpenRequestW) HttpOpenRequestW = nullptr;
    decltype(&::HttpAddRequestHeadersW) HttpAddRequestHeadersW = nullptr;
    decltype(&::HttpSendRequestW) HttpSendRequestW = nullptr;
    decltype(&::HttpQueryInfoW) HttpQueryInfoW = nullptr;
};

// The table, loaded on first use (safe from any thread), or null when
// wininet.dll or one of its functions could not be loaded; the thread's last
// error is then set to the code of that failure.
const WinInetApi* winInet();

// HINTERNET handles (sessions, connections and requests), closed with the
// loaded InternetCloseHandle. Where several are owned together, declare them
// in the order they are opened, so that the request closes before its
// connection and the connection before its session.
struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type h) noexcept { return h != nullptr; }
    static void close(Type h) noexcept;
};
using InternetHandle = win::UniqueHandle<InternetHandleTraits>;

}  // namespace vantor::download
