// The route trace over real raw sockets on the loopback interface, and the
// broadcast start against a stand-in for the player's dialog in this
// process, through the JNI host.
#include "platform-access/core/player_dialog.h"
#include "platform-access/tests/host/jni_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <string>
#include <vector>

namespace vantor::jnihost {
namespace {

constexpr int kLoopback = 0x7F000001;  // 127.0.0.1 in host order
const std::wstring kLoopbackText = L"2130706433";

// A probe id of this process, so that traces of other test programs are
// told apart from ours.
int probeId()
{
    return static_cast<int>(0x4000 + (GetCurrentProcessId() & 0x3FFF));
}

// Raw sockets need administrator rights on Windows and root (or the raw
// capability) under Wine; without them the trace cannot even start.
bool rawSocketsRefused(const CallResult& result)
{
    return result.exception && result.exception->operation == L"socket" &&
           result.exception->message == L"failed to create receive socket";
}

#define SKIP_WITHOUT_RAW_SOCKETS(result)                                                                             \
    if (rawSocketsRefused(result)) {                                                                                 \
        GTEST_SKIP() << "raw sockets are refused here (socket(SOCK_RAW) failed): run as administrator, or as root " \
                        "under Wine";                                                                                \
    }

// "<ttl>, 2130706433, <ms>, <flag>" with the flag returned.
::testing::AssertionResult isLoopbackHop(const std::wstring& text, const std::wstring& ttl, int& flag)
{
    static const std::wregex pattern(L"(\\d+), (-?\\d+), (\\d+), ([01])");
    std::wsmatch parts;
    if (!std::regex_match(text, parts, pattern)) {
        return ::testing::AssertionFailure() << "not a hop: " << narrow(text);
    }
    if (parts[1] != ttl || parts[2] != kLoopbackText) {
        return ::testing::AssertionFailure() << "not a hop of TTL " << narrow(ttl) << " from 127.0.0.1: " << narrow(text);
    }
    flag = parts[4] == L"1" ? 1 : 0;
    return ::testing::AssertionSuccess();
}

TEST(TraceRoute, ToLoopbackTheFirstStepReachesTheDestination)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    const ObjectHandle listener = host.newListener();
    const CallResult result = library.call("traceRoute", {probeId(), kLoopback, kLoopback, 0, listener});
    SKIP_WITHOUT_RAW_SOCKETS(result);
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofKind(Value::Kind::Void), result.value);
    // 127.0.0.1 answers the probes with TTL 1 itself: a port unreachable
    // for the UDP probe or an echo reply for the ICMP one, and the trace
    // ends there.
    const std::vector<std::wstring> messages = host.listenerMessages(listener);
    ASSERT_EQ(1u, messages.size());
    int flag = 0;
    EXPECT_TRUE(isLoopbackHop(messages[0], L"1", flag));
}

TEST(TraceRoute, ContinuousModeRunsUntilTheListenerAnswersZero)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    int reports = 0;
    const ObjectHandle listener = host.newListener([&reports](const std::wstring&) { return ++reports < 4 ? 1 : 0; });
    const CallResult result = library.call("traceRoute", {probeId(), kLoopback, kLoopback, 1, listener});
    SKIP_WITHOUT_RAW_SOCKETS(result);
    EXPECT_TRUE(threwNothing(result));
    const std::vector<std::wstring> messages = host.listenerMessages(listener);
    ASSERT_EQ(4u, messages.size());
    // Every step probes the destination with TTL 32; after the first answer
    // only the kind of probe that was answered is sent, so every later hop
    // answers that kind too.
    int first = -1;
    for (const std::wstring& message : messages) {
        int flag = 0;
        EXPECT_TRUE(isLoopbackHop(message, L"32", flag));
        if (first == -1) {
            first = flag;
        }
        EXPECT_EQ(first, flag) << narrow(message);
    }
}

TEST(TraceRoute, AListenerWithoutGeneralMessageEndsTheTraceWithAnException)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    CallResult result = library.call("traceRoute", {probeId(), kLoopback, kLoopback, 0, host.newPlainObject()});
    SKIP_WITHOUT_RAW_SOCKETS(result);
    EXPECT_TRUE(threwAccess(result, L"GetMethodID", L"method not found"));

    // No listener at all: there is no class to look the method up in.
    result = library.call("traceRoute", {probeId(), kLoopback, kLoopback, 0, nullptr});
    EXPECT_TRUE(threwAccess(result, L"GetObjectClass", L"failed"));
}

TEST(TraceRoute, AListenerThatThrowsEndsTheTraceAndItsExceptionReachesTheCaller)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    const ObjectHandle listener = host.newListener([](const std::wstring&) { return Answer::throwing(L"stop"); });
    const CallResult result = library.call("traceRoute", {probeId(), kLoopback, kLoopback, 1, listener});
    SKIP_WITHOUT_RAW_SOCKETS(result);
    ASSERT_TRUE(result.exception);
    EXPECT_EQ("java/lang/RuntimeException", result.exception->className);
    EXPECT_EQ(L"stop", result.exception->message);
    EXPECT_EQ(1u, host.listenerMessages(listener).size());
}

TEST(TraceRoute, ASourceAddressOfNoInterfaceCannotBeBound)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    const ObjectHandle listener = host.newListener();
    // 192.0.2.1 (a documentation address) belongs to no interface here.
    const CallResult result =
        library.call("traceRoute", {probeId(), static_cast<int>(0xC0000201), kLoopback, 0, listener});
    SKIP_WITHOUT_RAW_SOCKETS(result);
    EXPECT_TRUE(threwAccess(result, L"socket", L"failed to bind send socket"));
    EXPECT_TRUE(host.listenerMessages(listener).empty());
}

// --- startBroadcast ------------------------------------------------------------

// What a control of the stand-in dialog received.
struct Received {
    UINT message;
    WPARAM wParam;
};

struct ControlLog {
    WNDPROC original = nullptr;
    std::vector<Received> messages;
    LRESULT clickAnswer = 0;
};

ControlLog panelLog;
ControlLog inputLog;
ControlLog buttonLog;

bool isWatched(UINT message)
{
    return message == WM_SETFOCUS || message == WM_CHAR || message == BM_CLICK;
}

template <ControlLog& log>
LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (isWatched(message)) {
        log.messages.push_back({message, wParam});
    }
    if (message == BM_CLICK) {
        return ++log.clickAnswer;  // 1, then 2: tells the second click's answer apart
    }
    return CallWindowProcW(log.original, window, message, wParam, lParam);
}

template <ControlLog& log>
void watch(HWND control)
{
    log = ControlLog{};
    log.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&recordingProcedure<log>)));
}

// A hidden dialog of the standard class with `title`, built from an
// in-memory template without controls.
HWND makeDialog(const std::wstring& title)
{
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* dialogTemplate = reinterpret_cast<DLGTEMPLATE*>(words.data());
    dialogTemplate->style = WS_POPUP | WS_CAPTION;
    dialogTemplate->cx = 200;
    dialogTemplate->cy = 100;
    words.push_back(0);  // no menu
    words.push_back(0);  // the standard class
    for (const wchar_t c : title) {
        words.push_back(static_cast<WORD>(c));
    }
    words.push_back(0);
    words.push_back(0);  // padding to a DWORD boundary is harmless here
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<DLGTEMPLATE*>(words.data()),
                                      nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
}

HWND child(HWND parent, const wchar_t* windowClass, int id, DWORD style = 0)
{
    return CreateWindowExW(0, windowClass, L"", WS_CHILD | style, 0, 0, 50, 20, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

// The player's dialog as startBroadcast expects it: the input field 1001
// inside the panel 1005, and the start button 1035.
struct PlayerDialog {
    HWND dialog = nullptr;
    HWND panel = nullptr;
    HWND input = nullptr;
    HWND button = nullptr;

    explicit PlayerDialog(const std::wstring& title)
    {
        dialog = makeDialog(title);
        if (dialog == nullptr) {
            return;
        }
        panel = child(dialog, L"STATIC", access::kPlayerInputPanelId);
        // Scrolling, so that the field takes more text than it shows.
        input = child(panel, L"EDIT", access::kPlayerInputFieldId, ES_AUTOHSCROLL);
        button = child(dialog, L"BUTTON", access::kPlayerStartButtonId);
        watch<panelLog>(panel);
        watch<inputLog>(input);
        watch<buttonLog>(button);
    }
    ~PlayerDialog()
    {
        if (dialog != nullptr) {
            DestroyWindow(dialog);
        }
    }
    PlayerDialog(const PlayerDialog&) = delete;
    PlayerDialog& operator=(const PlayerDialog&) = delete;

    std::wstring inputText() const
    {
        wchar_t text[64] = {};
        GetWindowTextW(input, text, 64);
        return text;
    }
};

std::vector<Received> sequence(std::initializer_list<Received> messages)
{
    return messages;
}

bool operator==(const Received& a, const Received& b)
{
    return a.message == b.message && a.wParam == b.wParam;
}

void PrintTo(const Received& received, std::ostream* out)
{
    *out << "(0x" << std::hex << received.message << ", " << std::dec << received.wParam << ")";
}

TEST(StartBroadcast, WithoutThePlayersDialogReturnsZeroAndSendsNothing)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    CallResult result = library.call("startBroadcast", {static_cast<int>(GetCurrentProcessId()), L"channel"});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofLong(0), result.value);
    // The text is not even looked at without a dialog.
    result = library.call("startBroadcast", {static_cast<int>(GetCurrentProcessId()), std::wstring(5000, L'x')});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofLong(0), result.value);
}

TEST(StartBroadcast, TypesTheTextAndPressesStartTwice)
{
    ASSERT_EQ(31u, std::wstring(access::kPlayerDialogTitle).size());
    ASSERT_EQ(0u, std::wstring(access::kPlayerDialogTitle).rfind(L"SopCast", 0));
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    PlayerDialog player(access::kPlayerDialogTitle);
    ASSERT_NE(nullptr, player.dialog);
    ASSERT_NE(nullptr, player.input);

    const CallResult result =
        library.call("startBroadcast", {static_cast<int>(GetCurrentProcessId()), L"sop://x:3912/4\u00e9"});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(Value::ofLong(2), result.value);  // the answer to the second click

    std::vector<Received> typed = {{WM_SETFOCUS, 0}};
    for (const wchar_t c : std::wstring(L"sop://x:3912/4\u00e9")) {
        typed.push_back({WM_CHAR, static_cast<WPARAM>(c)});
    }
    EXPECT_EQ(typed, inputLog.messages);
    EXPECT_EQ(L"sop://x:3912/4\u00e9", player.inputText());
    EXPECT_EQ(sequence({{WM_SETFOCUS, 0}, {BM_CLICK, 0}, {BM_CLICK, 0}}), buttonLog.messages);
    EXPECT_TRUE(panelLog.messages.empty());
}

TEST(StartBroadcast, OnlyTheDialogOfTheGivenProcessWithTheExactTitleCounts)
{
    JniHost host;
    NativeLibrary& library = host.load();
    library.call("initialise");
    const std::wstring title = access::kPlayerDialogTitle;
    const int self = static_cast<int>(GetCurrentProcessId());
    for (const std::wstring& other : {title + L"!", title.substr(0, 30), L"sopcast" + title.substr(7)}) {
        PlayerDialog lookAlike(other);
        ASSERT_NE(nullptr, lookAlike.dialog);
        const CallResult result = library.call("startBroadcast", {self, L"a"});
        EXPECT_EQ(Value::ofLong(0), result.value) << narrow(other);
        EXPECT_TRUE(inputLog.messages.empty()) << narrow(other);
        EXPECT_TRUE(buttonLog.messages.empty()) << narrow(other);
    }
    // The right dialog, but another process asked for.
    PlayerDialog player(title);
    const CallResult result = library.call("startBroadcast", {self + 4, L"a"});
    EXPECT_EQ(Value::ofLong(0), result.value);
    EXPECT_TRUE(buttonLog.messages.empty());
}

}  // namespace
}  // namespace vantor::jnihost
