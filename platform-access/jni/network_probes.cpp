// Network probes: the raw-socket route trace and the start of a broadcast in
// the outside video player.
//
// The trace's packets and its probe loop are pure code (probe_packet.h,
// trace_route.h); this file gives the loop its sockets, its tick counter and
// its Java listener, and turns its failures into access exceptions.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "common/win/socket.h"
#include "platform-access/core/player_dialog.h"
#include "platform-access/core/trace_route.h"
#include "platform-access/jni/boundary.h"
#include "platform-access/jni/exports.h"
#include "platform-access/jni/fault_point.h"
#include "platform-access/jni/frame.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vantor::access {
namespace {

// Windows Sockets is started once per process and never cleaned up: other
// threads may be tracing at any time, and the library has no moment at which
// it knows that none is.
void startWindowsSockets()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    // Without Windows Sockets the socket calls fail with their own error,
    // which the trace reports.
    (void)started;
}

sockaddr_in ipv4Address(std::uint32_t hostOrderAddress)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    return address;
}

// The trace's link to the sockets and to the Java listener, on the calling
// Java thread.
class SocketTraceChannel final : public ITraceChannel {
public:
    SocketTraceChannel(JNIEnv* env, jobject listener, SOCKET sendSocket, SOCKET receiveSocket,
                       std::uint32_t destination)
        : m_env(env), m_listener(listener), m_send(sendSocket), m_receive(receiveSocket),
          m_destination(ipv4Address(destination))
    {
    }

    Sent send(const ProbePacket& packet, long& error) override
    {
        const int sent = sendto(m_send, reinterpret_cast<const char*>(packet.data()), static_cast<int>(packet.size()),
                                0, reinterpret_cast<const sockaddr*>(&m_destination), sizeof m_destination);
        if (sent == SOCKET_ERROR) {
            error = WSAGetLastError();
            return Sent::Failed;
        }
        return static_cast<std::size_t>(sent) < packet.size() ? Sent::Short : Sent::Whole;
    }

    Received receive(std::uint32_t timeoutMs, std::uint8_t* buffer, std::size_t capacity, std::size_t& received,
                     std::uint32_t& sender, long& error) override
    {
        const DWORD timeout = timeoutMs;
        if (setsockopt(m_receive, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout) ==
            SOCKET_ERROR) {
            return Received::TimeoutNotSet;
        }
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int got = recvfrom(m_receive, reinterpret_cast<char*>(buffer), static_cast<int>(capacity), 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got == SOCKET_ERROR) {
            const int code = WSAGetLastError();
            if (code == WSAETIMEDOUT) {
                return Received::TimedOut;
            }
            if (code == WSAEMSGSIZE) {
                // The receive socket sees all ICMP traffic of the computer;
                // a large datagram of another program must not end the trace.
                return Received::Oversized;
            }
            error = code;
            return Received::Failed;
        }
        received = static_cast<std::size_t>(got);
        sender = ntohl(from.sin_addr.s_addr);
        return Received::Datagram;
    }

    std::uint32_t tickCount() override { return GetTickCount(); }

    bool report(const char* text) override
    {
        const jstring message = m_env->NewStringUTF(text);
        if (message == nullptr) {
            // The VM's OutOfMemoryError gives way to the library's own
            // exception, which can only be thrown once it is cleared.
            m_env->ExceptionClear();
            throwAccessException(m_env, "NewStringUTF", "alloc failed");
            return false;
        }
        // A null listener has no class; asking the VM for one would crash it.
        const jclass type = m_listener == nullptr ? nullptr : m_env->GetObjectClass(m_listener);
        if (type == nullptr) {
            m_env->ExceptionClear();
            m_env->DeleteLocalRef(message);
            throwAccessException(m_env, "GetObjectClass", "failed");
            return false;
        }
        const jmethodID method = m_env->GetMethodID(type, "generalMessage", "(Ljava/lang/String;)J");
        if (method == nullptr) {
            m_env->ExceptionClear();
            m_env->DeleteLocalRef(type);
            m_env->DeleteLocalRef(message);
            throwAccessException(m_env, "GetMethodID", "method not found");
            return false;
        }
        const jlong answer = m_env->CallLongMethod(m_listener, method, message);
        // A listener that throws ends the trace; its exception stays pending
        // for the Java caller, so no further JNI call may follow but the
        // deletion of references.
        const bool threw = m_env->ExceptionCheck() == JNI_TRUE;
        m_env->DeleteLocalRef(type);
        m_env->DeleteLocalRef(message);
        return !threw && static_cast<std::uint32_t>(answer) != 0;
    }

private:
    JNIEnv* m_env;
    jobject m_listener;
    SOCKET m_send;
    SOCKET m_receive;
    sockaddr_in m_destination;
};

// --- startBroadcast ------------------------------------------------------

constexpr std::size_t kBroadcastTextCapacity = 2048;  // at most 2,047 characters
constexpr int kClassNameCapacity = 64;
// One unit more than the title and its terminator, so that a longer title is
// seen to be longer rather than cut to the expected length.
constexpr int kTitleCapacity = static_cast<int>(kPlayerDialogTitleLength) + 2;

struct DialogSearch {
    DWORD processId = 0;
    bool (*isPlayerDialog)(HWND window) = nullptr;  // the narrow or the wide comparison
    HWND found = nullptr;
};

// The ANSI and the wide window queries and the dialog's texts under one set
// of names.
template <typename Char>
struct DialogApi;

template <>
struct DialogApi<wchar_t> {
    static constexpr const wchar_t* dialogClass = kPlayerDialogClass;
    static constexpr const wchar_t* title = kPlayerDialogTitle;
    static int className(HWND window, wchar_t* out, int capacity) { return GetClassNameW(window, out, capacity); }
    static int windowText(HWND window, wchar_t* out, int capacity) { return GetWindowTextW(window, out, capacity); }
};

template <>
struct DialogApi<char> {
    static constexpr const char* dialogClass = kPlayerDialogClassA;
    static constexpr const char* title = kPlayerDialogTitleA;
    static int className(HWND window, char* out, int capacity) { return GetClassNameA(window, out, capacity); }
    static int windowText(HWND window, char* out, int capacity) { return GetWindowTextA(window, out, capacity); }
};

template <typename Char>
bool isPlayerDialog(HWND window)
{
    using Api = DialogApi<Char>;
    Char className[kClassNameCapacity];
    if (Api::className(window, className, kClassNameCapacity) == 0 ||
        std::basic_string_view<Char>(className) != Api::dialogClass) {
        return false;
    }
    Char title[kTitleCapacity];
    const int length = Api::windowText(window, title, kTitleCapacity);
    return length == static_cast<int>(kPlayerDialogTitleLength) &&
           std::char_traits<Char>::compare(title, Api::title, kPlayerDialogTitleLength + 1) == 0;
}

// Top-level windows come in Z order, the top one first; the first fitting
// window ends the walk. Nothing here throws, and nothing may: the walk runs
// inside user32.
BOOL CALLBACK findPlayerDialog(HWND window, LPARAM context) noexcept
{
    DialogSearch& search = *reinterpret_cast<DialogSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId) {
        return TRUE;
    }
    if (search.isPlayerDialog(window)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

HWND findPlayerDialog(jint processId)
{
    DialogSearch search;
    search.processId = static_cast<DWORD>(processId);
    search.isPlayerDialog = byNarrowMode(isPlayerDialog<char>, isPlayerDialog<wchar_t>);
    EnumWindows(findPlayerDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Types the text into the input field and presses the start button twice;
// the result is the answer to the second press. A control the dialog lacks
// is left out: a message to no window would go nowhere anyway.
jlong broadcastW(JNIEnv* env, HWND dialog, jstring text)
{
    wchar_t characters[kBroadcastTextCapacity];
    if (!jstringToChars(env, text, characters, kBroadcastTextCapacity)) {
        return 0;
    }
    const HWND panel = GetDlgItem(dialog, kPlayerInputPanelId);
    const HWND input = panel != nullptr ? GetDlgItem(panel, kPlayerInputFieldId) : nullptr;
    const HWND button = GetDlgItem(dialog, kPlayerStartButtonId);
    if (input != nullptr) {
        SendMessageW(input, WM_SETFOCUS, 0, 0);
        for (const wchar_t* c = characters; *c != L'\0'; ++c) {
            SendMessageW(input, WM_CHAR, static_cast<WPARAM>(*c), 0);
        }
    }
    if (button == nullptr) {
        return 0;
    }
    SendMessageW(button, WM_SETFOCUS, 0, 0);
    SendMessageW(button, BM_CLICK, 0, 0);
    return static_cast<jlong>(SendMessageW(button, BM_CLICK, 0, 0));
}

// The narrow form gives the focus to the panel itself and types into the
// field inside it.
jlong broadcastA(JNIEnv* env, HWND dialog, jstring text)
{
    char characters[kBroadcastTextCapacity];
    if (!jstringToChars(env, text, characters, kBroadcastTextCapacity)) {
        return 0;
    }
    const HWND panel = GetDlgItem(dialog, kPlayerInputPanelId);
    const HWND input = panel != nullptr ? GetDlgItem(panel, kPlayerInputFieldId) : nullptr;
    const HWND button = GetDlgItem(dialog, kPlayerStartButtonId);
    if (panel != nullptr) {
        SendMessageA(panel, WM_SETFOCUS, 0, 0);
    }
    if (input != nullptr) {
        for (const char* c = characters; *c != '\0'; ++c) {
            SendMessageA(input, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(*c)), 0);
        }
    }
    if (button == nullptr) {
        return 0;
    }
    SendMessageA(button, WM_SETFOCUS, 0, 0);
    SendMessageA(button, BM_CLICK, 0, 0);
    return static_cast<jlong>(SendMessageA(button, BM_CLICK, 0, 0));
}

void traceRoute(JNIEnv* env, jint probeId, jint sourceAddress, jint destinationAddress, jint mode, jobject listener)
{
    startWindowsSockets();
    faultPoint("traceRoute");

    win::Socket receiveSocket(socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
    if (!receiveSocket) {
        throwAccessException(env, "socket", "failed to create receive socket");
        return;
    }
    const DWORD timeout = kAnswerWaitMs;
    if (setsockopt(receiveSocket.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                   sizeof timeout) == SOCKET_ERROR) {
        throwAccessException(env, "setsockopt", "failed to set receive timeout socket options");
        return;
    }
    const BOOL reuse = TRUE;
    if (setsockopt(receiveSocket.get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                   sizeof reuse) == SOCKET_ERROR) {
        throwAccessException(env, "setsockopt", "failed to set receive reuse address socket options");
        return;
    }
    const sockaddr_in local = ipv4Address(static_cast<std::uint32_t>(sourceAddress));
    if (bind(receiveSocket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        throwAccessException(env, "socket", "failed to bind send socket");
        return;
    }

    win::Socket sendSocket(socket(AF_INET, SOCK_RAW, IPPROTO_RAW));
    if (!sendSocket) {
        throwAccessException(env, "socket", "failed to create send socket");
        return;
    }
    const DWORD ownHeader = 1;
    if (setsockopt(sendSocket.get(), IPPROTO_IP, IP_HDRINCL, reinterpret_cast<const char*>(&ownHeader),
                   sizeof ownHeader) == SOCKET_ERROR) {
        throwAccessException(env, "setsockopt", "failed to set receive socket options");
        return;
    }

    SocketTraceChannel channel(env, listener, sendSocket.get(), receiveSocket.get(),
                               static_cast<std::uint32_t>(destinationAddress));
    TraceSettings settings;
    settings.probeId = static_cast<std::uint16_t>(probeId);
    settings.sourceAddress = static_cast<std::uint32_t>(sourceAddress);
    settings.destinationAddress = static_cast<std::uint32_t>(destinationAddress);
    settings.continuous = mode == 1;
    TraceFailure failure;
    if (runTrace(channel, settings, failure)) {
        return;
    }
    if (failure.withCode) {
        throwAccessExceptionWithCode(env, failure.operation, failure.message, failure.code);
    } else {
        throwAccessException(env, failure.operation, failure.message);
    }
}

}  // namespace
}  // namespace vantor::access

using namespace vantor::access;

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_traceRoute(
    JNIEnv* env, jclass, jint probeId, jint sourceAddress, jint destinationAddress, jint mode, jobject listener)
{
    guardOperation(env, "traceRoute",
                   [&] { traceRoute(env, probeId, sourceAddress, destinationAddress, mode, listener); });
}

jlong JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_startBroadcast(JNIEnv* env, jclass,
                                                                                              jint processId,
                                                                                              jstring text)
{
    return guardOperation(env, "startBroadcast", 0, [&]() -> jlong {
        const HWND dialog = findPlayerDialog(processId);
        if (dialog == nullptr) {
            return 0;
        }
        return byNarrowMode(broadcastA, broadcastW)(env, dialog, text);
    });
}
