// The owner of a Windows Sockets socket. Its users link ws2_32 and start
// Windows Sockets themselves (WSAStartup); closing goes through closesocket,
// which, like every closer of UniqueHandle, leaves the thread's last error
// (the value WSAGetLastError reads) as it was.
#pragma once

// <winsock2.h> before <windows.h>, which would otherwise bring the old
// <winsock.h> along in builds without WIN32_LEAN_AND_MEAN.
#include <winsock2.h>

#include "common/win/unique_handle.h"

namespace vantor::win {

struct SocketTraits {
    using Type = SOCKET;
    static Type invalid() noexcept { return INVALID_SOCKET; }
    static bool isValid(Type s) noexcept { return s != INVALID_SOCKET; }
    static void close(Type s) noexcept { ::closesocket(s); }
};
using Socket = UniqueHandle<SocketTraits>;

}  // namespace vantor::win
