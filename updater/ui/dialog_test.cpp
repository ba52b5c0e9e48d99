// The installer window and the administrator-rights dialog, shown for real on
// the test display: each test shows a dialog on a thread of its own, reads its
// windows from the test's thread and closes it as a user would.
#include "updater/ui/dialog.h"

#include "tests/support/test_log.h"
#include "tests/support/test_support.h"
#include "updater/ui/admin_dialog.h"
#include "updater/ui/dialog_fixture.h"
#include "updater/ui/language_texts.h"
#include "updater/ui/text_table.h"
#include "updater/ui/window_context.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <ostream>
#include <vector>

inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline void PrintTo(const RECT& r, std::ostream* out)
{
    *out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace vantor {
namespace {

using namespace vantor::testing;

const std::wstring kEnglishMessage = L"This updater requires admin privileges";

// A context over the test program's own resources (it carries the same
// icons and language files as the updater).
WindowContext testContext(const TextTable* table)
{
    static const FontSet fonts = createFontSet();
    WindowContext context;
    context.instance = GetModuleHandleW(nullptr);
    context.fonts = fonts;
    context.textTable = table;
    return context;
}

// What the body panel and the button strip of a shown dialog hold.
struct DialogLayout {
    ChildInfo body;
    ChildInfo strip;
    std::vector<ChildInfo> bodyChildren;
    std::vector<ChildInfo> stripChildren;
};

DialogLayout layoutOf(HWND frame)
{
    DialogLayout layout;
    for (const ChildInfo& child : childrenOf(frame)) {
        (child.rect.top == 0 ? layout.body : layout.strip) = child;
    }
    layout.bodyChildren = childrenOf(layout.body.handle);
    layout.stripChildren = childrenOf(layout.strip.handle);
    return layout;
}

const ChildInfo* findByClass(const std::vector<ChildInfo>& children, const wchar_t* className)
{
    for (const ChildInfo& child : children) {
        if (_wcsicmp(child.className.c_str(), className) == 0) {
            return &child;
        }
    }
    return nullptr;
}

void pressButton(HWND button)
{
    // The button reports the click to its panel as a user's click would.
    SendMessageW(button, BM_CLICK, 0, 0);
}

// Records what the window forwards to its listener's notify.
class RecordingDialog : public RequiresAdminPrivileges {
public:
    using RequiresAdminPrivileges::RequiresAdminPrivileges;

    struct Notification {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    bool notify(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_notifications.push_back({message, wParam, lParam});
        return RequiresAdminPrivileges::notify(message, wParam, lParam);
    }

    std::vector<Notification> notifications()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_notifications;
    }

private:
    std::mutex m_lock;
    std::vector<Notification> m_notifications;
};

TEST(InstallerWindow, IsACentredFixedTopmostFrameWithPanelsAndButton)
{
    const auto texts = loadLanguageTexts(GetModuleHandleW(nullptr), 1033, nullptr);
    const WindowContext context = testContext(texts.get());
    ButtonPanelImpl buttons({{1, L"CLOSE"}});
    RequiresAdminPrivileges dialog(buttons);
    DialogThread shown([&] { return dialog.show(context, L"Vantor"); });
    const HWND frame = shown.waitForWindow();
    ASSERT_NE(nullptr, frame);

    EXPECT_EQ(L"InstallerWindowClass", classNameOf(frame));
    EXPECT_EQ(L"Vantor", windowText(frame));
    RECT rect{};
    GetWindowRect(frame, &rect);
    const int workWidth = GetSystemMetrics(SM_CXFULLSCREEN);
    const int workHeight = GetSystemMetrics(SM_CYFULLSCREEN);
    EXPECT_EQ(workWidth / 2 - 200, rect.left);
    EXPECT_EQ(workHeight / 2 - 75, rect.top);
    EXPECT_EQ(400, rect.right - rect.left);
    EXPECT_EQ(150, rect.bottom - rect.top);

    const auto style = static_cast<DWORD>(GetWindowLongPtrW(frame, GWL_STYLE));
    EXPECT_EQ(static_cast<DWORD>(WS_CAPTION), style & WS_CAPTION);
    EXPECT_NE(0u, style & WS_SYSMENU);
    EXPECT_EQ(0u, style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_NE(0u, static_cast<DWORD>(GetWindowLongPtrW(frame, GWL_EXSTYLE)) & WS_EX_TOPMOST);
    EXPECT_NE(0u, GetClassLongPtrW(frame, GCLP_HICON)) << "icon 101";
    EXPECT_NE(0u, GetClassLongPtrW(frame, GCLP_HICONSM)) << "icon 102";
    EXPECT_NE(nullptr, GetModuleHandleW(L"gdiplus.dll")) << "GDI+ is started with the window";

    RECT client{};
    GetClientRect(frame, &client);
    const DialogLayout layout = layoutOf(frame);
    ASSERT_NE(nullptr, layout.body.handle);
    ASSERT_NE(nullptr, layout.strip.handle);
    EXPECT_EQ((RECT{0, 0, client.right, client.bottom - 40}), layout.body.rect);
    EXPECT_EQ((RECT{0, client.bottom - 40, client.right, client.bottom}), layout.strip.rect);

    const ChildInfo* message = findByClass(layout.bodyChildren, L"Static");
    ASSERT_NE(nullptr, message);
    EXPECT_EQ(kEnglishMessage, message->text);
    EXPECT_EQ((RECT{50, 20, 50 + client.right - 60, 20 + client.bottom - 40}), message->rect);
    EXPECT_EQ(reinterpret_cast<LRESULT>(context.fonts[0]), SendMessageW(message->handle, WM_GETFONT, 0, 0));
    const ChildInfo* icon = findByClass(layout.bodyChildren, L"InstallerIconClass");
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ((RECT{10, 10, 30, 30}), icon->rect);

    ASSERT_EQ(1u, layout.stripChildren.size());
    const ChildInfo& button = layout.stripChildren[0];
    EXPECT_EQ(L"Close", button.text);
    EXPECT_EQ(0u, _wcsicmp(button.className.c_str(), L"Button"));
    EXPECT_EQ((RECT{client.right - 86, 9, client.right - 6, 34}), button.rect);
    EXPECT_EQ(reinterpret_cast<LRESULT>(context.fonts[0]), SendMessageW(button.handle, WM_GETFONT, 0, 0));

    settle(frame);
    EXPECT_EQ("", takeScreenshot(L"installer-window"));

    pressButton(button.handle);
    EXPECT_EQ(0, shown.join());
    EXPECT_EQ(1u, buttons.chosenId());
    EXPECT_FALSE(IsWindow(frame));
}

TEST(InstallerWindow, ShowsTheKeysOfTextsTheTableLacks)
{
    TextTable withoutClose;
    withoutClose.parse(L"REQUIRES_ADMIN_PRIVILEGES=Only the message\r\nOK=Fine\r\n");
    const WindowContext context = testContext(&withoutClose);
    ButtonPanelImpl buttons({{1, L"CLOSE"}});
    RequiresAdminPrivileges dialog(buttons);
    DialogThread shown([&] { return dialog.show(context, L"Vantor"); });
    const HWND frame = shown.waitForWindow();
    ASSERT_NE(nullptr, frame);

    const DialogLayout layout = layoutOf(frame);
    ASSERT_EQ(1u, layout.stripChildren.size());
    EXPECT_EQ(L"CLOSE", layout.stripChildren[0].text);
    const ChildInfo* message = findByClass(layout.bodyChildren, L"Static");
    ASSERT_NE(nullptr, message);
    EXPECT_EQ(L"Only the message", message->text);

    pressButton(layout.stripChildren[0].handle);
    EXPECT_EQ(0, shown.join());
}

TEST(InstallerWindow, WithoutATableShowsEveryKey)
{
    const WindowContext context = testContext(nullptr);
    ButtonPanelImpl buttons({{1, L"CLOSE"}});
    RequiresAdminPrivileges dialog(buttons);
    DialogThread shown([&] { return dialog.show(context, L"Vantor"); });
    const HWND frame = shown.waitForWindow();
    ASSERT_NE(nullptr, frame);

    const DialogLayout layout = layoutOf(frame);
    ASSERT_EQ(1u, layout.stripChildren.size());
    EXPECT_EQ(L"CLOSE", layout.stripChildren[0].text);
    const ChildInfo* message = findByClass(layout.bodyChildren, L"Static");
    ASSERT_NE(nullptr, message);
    EXPECT_EQ(L"REQUIRES_ADMIN_PRIVILEGES", message->text);

    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, shown.join());
}

TEST(InstallerWindow, ForwardsMessagesAboveWmUserToTheListener)
{
    const auto texts = loadLanguageTexts(GetModuleHandleW(nullptr), 1033, nullptr);
    const WindowContext context = testContext(texts.get());
    ButtonPanelImpl buttons({{1, L"CLOSE"}});
    RecordingDialog dialog(buttons);
    DialogThread shown([&] { return dialog.show(context, L"Vantor"); });
    const HWND frame = shown.waitForWindow();
    ASSERT_NE(nullptr, frame);

    EXPECT_EQ(0, SendMessageW(frame, WM_USER + 7, 11, 22));
    EXPECT_EQ(0, SendMessageW(frame, WM_APP + 1, 33, 44));
    // WM_USER itself is not above WM_USER: default processing, no notify.
    SendMessageW(frame, WM_USER, 55, 66);

    const auto notifications = dialog.notifications();
    ASSERT_EQ(2u, notifications.size());
    EXPECT_EQ(static_cast<UINT>(WM_USER + 7), notifications[0].message);
    EXPECT_EQ(11u, notifications[0].wParam);
    EXPECT_EQ(22, notifications[0].lParam);
    EXPECT_EQ(static_cast<UINT>(WM_APP + 1), notifications[1].message);
    EXPECT_EQ(33u, notifications[1].wParam);
    EXPECT_EQ(44, notifications[1].lParam);
    EXPECT_TRUE(IsWindow(frame)) << "a notification does not close the dialog";

    // The caption's close box ends the dialog like the button, but chooses
    // nothing.
    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, shown.join());
    EXPECT_EQ(0u, buttons.chosenId());
    EXPECT_FALSE(IsWindow(frame));
}

TEST(InstallerWindow, ButtonsRunFromTheRightEdgeLeftwards)
{
    TextTable table;
    table.parse(L"YES=Yes\r\nNO=No\r\nCANCEL=Cancel\r\n");
    const WindowContext context = testContext(&table);
    ButtonPanelImpl buttons({{7, L"YES"}, {8, L"NO"}, {9, L"CANCEL"}});
    RequiresAdminPrivileges dialog(buttons);
    DialogThread shown([&] { return dialog.show(context, L"Vantor"); });
    const HWND frame = shown.waitForWindow();
    ASSERT_NE(nullptr, frame);

    RECT client{};
    GetClientRect(frame, &client);
    ASSERT_EQ(3u, buttons.buttons().size());
    const wchar_t* captions[] = {L"Yes", L"No", L"Cancel"};
    for (int i = 0; i < 3; ++i) {
        const HWND button = buttons.buttons()[static_cast<std::size_t>(i)]->handle();
        RECT rect{};
        GetWindowRect(button, &rect);
        MapWindowPoints(nullptr, GetParent(button), reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(client.right - 86 * (i + 1), rect.left) << i;
        EXPECT_EQ(80, rect.right - rect.left) << i;
        EXPECT_EQ(captions[i], windowText(button)) << i;
        EXPECT_EQ(static_cast<int>(7 + i), GetDlgCtrlID(button)) << i;
    }

    pressButton(buttons.buttons()[1]->handle());
    EXPECT_EQ(0, shown.join());
    EXPECT_EQ(8u, buttons.chosenId());
}

TEST(InstallerWindow, CanBeShownAgainInTheSameProcess)
{
    const auto texts = loadLanguageTexts(GetModuleHandleW(nullptr), 1033, nullptr);
    const WindowContext context = testContext(texts.get());
    for (int round = 0; round < 2; ++round) {
        ButtonPanelImpl buttons({{1, L"CLOSE"}});
        RequiresAdminPrivileges dialog(buttons);
        DialogThread shown([&] {
            const int first = dialog.show(context, L"Vantor");
            // Nothing of the first showing may be left in the thread's queue
            // (a stray quit message would end the next loop at once).
            MSG stray{};
            return PeekMessageW(&stray, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? -1 : first;
        });
        const HWND frame = shown.waitForWindow();
        ASSERT_NE(nullptr, frame) << round;
        EXPECT_EQ(L"Close", windowText(buttons.buttons()[0]->handle()));
        pressButton(buttons.buttons()[0]->handle());
        EXPECT_EQ(0, shown.join()) << round;
    }
}

// The listener may decline to start: the loop does not run and the window is
// destroyed, with no quit message left behind.
class DecliningDialog : public RequiresAdminPrivileges {
public:
    using RequiresAdminPrivileges::RequiresAdminPrivileges;
    bool start() override { return false; }
    void exit() override { ++exits; }
    int exits = 0;
};

TEST(InstallerWindow, ListenerThatDeclinesToStartEndsTheShowAtOnce)
{
    const WindowContext context = testContext(nullptr);
    ButtonPanelImpl buttons({{1, L"CLOSE"}});
    DecliningDialog dialog(buttons);
    DialogThread shown([&] {
        const int result = dialog.show(context, L"Vantor");
        MSG stray{};
        return PeekMessageW(&stray, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? -1 : result;
    });
    EXPECT_EQ(0, shown.join());
    EXPECT_EQ(1, dialog.exits);
}

// The dialog of the update flow, in the language of the Wine prefix it runs
// in. ctest runs this test once more in a Russian and a Ukrainian prefix and
// says there, in VANTOR_EXPECTED_LANGUAGE, which language the prefix must
// have.
TEST(AdminRightsDialog, SpeaksTheUserLanguage)
{
    const LANGID language = GetUserDefaultLangID();
    if (const char* expected = std::getenv("VANTOR_EXPECTED_LANGUAGE")) {
        ASSERT_EQ(std::atoi(expected), language) << "the Wine prefix does not have the expected language";
    }
    std::wstring message = kEnglishMessage;
    std::wstring close = L"Close";
    std::wstring name = L"english";
    if (language == 1049) {
        message = L"\u0414\u043b\u044f \u043e\u0431\u043d\u043e\u0432\u043b\u0435\u043d\u0438\u044f "
                  L"\u043d\u0435\u043e\u0431\u0445\u043e\u0434\u0438\u043c\u044b \u043f\u0440\u0430\u0432\u0430 "
                  L"\u0430\u0434\u043c\u0438\u043d\u0438\u0441\u0442\u0440\u0430\u0442\u043e\u0440\u0430";
        close = L"\u0417\u0430\u043a\u0440\u044b\u0442\u044c";
        name = L"russian";
    } else if (language == 1058) {
        message = L"\u0414\u043b\u044f \u043f\u043e\u043d\u043e\u0432\u043b\u0435\u043d\u043d\u044f "
                  L"\u043d\u0435\u043e\u0431\u0445\u0456\u0434\u043d\u0456 \u043f\u0440\u0430\u0432\u0430 "
                  L"\u0430\u0434\u043c\u0456\u043d\u0456\u0441\u0442\u0440\u0430\u0442\u043e\u0440\u0430";
        close = L"\u0417\u0430\u043a\u0440\u0438\u0442\u0438";
        name = L"ukrainian";
    }

    TestLog log;
    DialogThread shown([&] {
        showAdminRightsDialog(GetModuleHandleW(nullptr), nullptr, log.log());
        return 0;
    });
    const HWND frame = shown.waitForWindow();
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(L"Vantor", windowText(frame));
    const DialogLayout layout = layoutOf(frame);
    const ChildInfo* text = findByClass(layout.bodyChildren, L"Static");
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(message, text->text);
    ASSERT_EQ(1u, layout.stripChildren.size());
    EXPECT_EQ(close, layout.stripChildren[0].text);
    EXPECT_EQ(1, GetDlgCtrlID(layout.stripChildren[0].handle));
    ASSERT_NE(nullptr, currentWindowContext);
    EXPECT_EQ(language, currentWindowContext->textTable->languageId());

    settle(frame);
    EXPECT_EQ("", takeScreenshot(L"admin-dialog-" + name));

    pressButton(layout.stripChildren[0].handle);
    EXPECT_EQ(0, shown.join());
    EXPECT_FALSE(IsWindow(frame));
}

// The update flow shows the dialog from the main thread of the updater, which
// may have been started with "hidden" as its show command. The dialog must
// show all the same (nobody could close it otherwise), and the program goes
// on once the user has closed it. (Wine itself does not hide a window shown
// with SW_SHOWDEFAULT in such a program; on Windows the dialog's own check is
// what makes it visible.)
TEST(AdminRightsDialog, ShowsInAProgramStartedHiddenAndLetsItGoOn)
{
    TestLog probe;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    std::wstring command = L"\"" + binPath(L"admin_dialog_fixture.exe") + L"\" " + probe.fileName();
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    const win::ProcessInformation process = win::ProcessInformation::adopt(info);

    const HWND frame = waitForProcessWindow(process.processId);
    EXPECT_NE(nullptr, frame) << "no visible dialog";
    if (frame != nullptr) {
        const DialogLayout layout = layoutOf(frame);
        ASSERT_EQ(1u, layout.stripChildren.size());
        pressButton(layout.stripChildren[0].handle);
    }
    if (WaitForSingleObject(process.process.get(), 20000) != WAIT_OBJECT_0) {
        TerminateProcess(process.process.get(), 99);
        ADD_FAILURE() << "the program did not end";
    }
    DWORD exitCode = 99;
    GetExitCodeProcess(process.process.get(), &exitCode);
    EXPECT_EQ(0u, exitCode);

    const std::vector<std::string> lines = probe.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines.back().find("INFO : [DEF] : Dialog closed")) << lines.back();
}

}  // namespace
}  // namespace vantor
