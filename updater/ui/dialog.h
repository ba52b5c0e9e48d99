// Dialogs of the installer window and the administrator-rights dialog.
#pragma once

#include "updater/ui/button_panel.h"
#include "updater/ui/window.h"

#include <memory>

namespace vantor {

// Directs a Window and listens to it: supplies the content, reacts to the
// buttons of its ButtonPanel and decides when the window may go.
class Dialog : public WindowDirector, public AppLifeCycleListener {
public:
    // `buttons` must outlive the dialog's show().
    explicit Dialog(ButtonPanel& buttons);
    ~Dialog() override;

    // Shows the window titled `title` with the content of createContent and
    // the buttons of the button panel, runs its message loop, and returns
    // when it has been closed: the quit message's parameter (0), or 0 at once
    // when the listener's start declined or the window could not be created.
    int show(const WindowContext& context, const wchar_t* title);

protected:
    // The window while show() runs, else null.
    Window* window() const { return m_window.get(); }
    ButtonPanel& buttonPanel() const { return m_buttons; }

private:
    ButtonPanel& m_buttons;
    std::unique_ptr<Window> m_window;
    std::unique_ptr<Panel> m_body;
    std::unique_ptr<Panel> m_strip;
};

// The message that the update needs administrator rights, with a stop icon,
// and the buttons of its panel; any of them closes it.
class RequiresAdminPrivileges : public Dialog {
public:
    static constexpr wchar_t kMessageKey[] = L"REQUIRES_ADMIN_PRIVILEGES";

    explicit RequiresAdminPrivileges(ButtonPanel& buttons) : Dialog(buttons) {}

    bool mayClose() override { return true; }
    bool mayQuit() override { return true; }
    // The message at x = 50, width W - 60, height H of the body (W x H) and
    // the system's stop icon; returns the icon.
    Widget* createContent(Panel& body) override;

    // A button of the panel asks the window to close.
    bool command(HWND control) override;
    bool notify(UINT message, WPARAM wParam, LPARAM lParam) override;
    void timer(UINT_PTR id, LPARAM data) override;
    // Shows the window the way the program was asked to show its windows;
    // a window that would stay hidden that way is shown normally.
    bool start() override;
    void exit() override {}

private:
    TextWidget m_message;
    Icon m_icon;
};

}  // namespace vantor
