// The installer window: a fixed 400 x 150 frame in the middle of the screen,
// driven by a director (content, closing) and a lifecycle listener (controls,
// start, exit).
#pragma once

#include "updater/ui/widgets.h"

#include <windows.h>

namespace vantor {

// Told about the window's controls and its life. Slot order after those of
// WidgetCommandHandler: start, exit.
class AppLifeCycleListener : public WidgetCommandHandler {
public:
    // Called before the message loop; false ends the loop before it starts.
    virtual bool start() = 0;
    // Called when the window is destroyed and the loop is about to end.
    virtual void exit() = 0;
};

// Decides what the window shows and when it may go. Slot order: mayClose,
// mayQuit, createContent.
class WindowDirector {
public:
    virtual ~WindowDirector() = default;
    // False vetoes a close request: the window stays.
    virtual bool mayClose() = 0;
    // False keeps the message loop running after the window is destroyed.
    virtual bool mayQuit() = 0;
    // Places the content on the body panel; returns its last widget.
    virtual Widget* createContent(Panel& body) = 0;
};

class Window : public TextWidget, public WidgetCommandHandler {
public:
    static constexpr wchar_t kClassName[] = L"InstallerWindowClass";
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 150;
    // Height of the button strip along the bottom of the client area.
    static constexpr int kStripHeight = 40;
    static constexpr int kLargeIconId = 101;
    static constexpr int kSmallIconId = 102;

    // The record of a window centred on the full-screen work area
    // (SM_CXFULLSCREEN x SM_CYFULLSCREEN); starts GDI+. No window yet.
    explicit Window(const WindowContext& context);
    ~Window() override;

    // Forwards to the listener; false without one.
    bool command(HWND control) override;
    // Forwards to the listener and counts as handled.
    bool notify(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Registers the class "InstallerWindowClass" and creates the topmost
    // frame (caption and system menu only) with this record as user data.
    // False when the window could not be created.
    bool create();

    void setDirector(WindowDirector* director) { m_director = director; }
    void setListener(AppLifeCycleListener* listener) { m_listener = listener; }
    void setTitle(const wchar_t* title);

    // Calls the listener's start (0 at once when it declines), then fetches,
    // translates and dispatches messages until the quit message and returns
    // its parameter.
    int runMessageLoop();

    // Destroys the window if it still exists. Its WM_DESTROY then runs as
    // always (the listener's exit included); the quit message that it posts
    // is taken off the queue again, as no loop is left to read it.
    void destroy();

    const WindowContext& context() const { return m_context; }
    int clientWidth() const { return m_clientWidth; }
    int clientHeight() const { return m_clientHeight; }
    ULONG_PTR gdiplusToken() const { return m_gdiplusToken; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const WindowContext& m_context;
    int m_clientWidth = 0;
    int m_clientHeight = 0;
    ULONG_PTR m_gdiplusToken = 0;
    AppLifeCycleListener* m_listener = nullptr;
    WindowDirector* m_director = nullptr;
};

}  // namespace vantor
