// The widgets of the installer window: child windows with their size and
// position, the panels that hold them, and the handler interface through
// which controls report to their owners.
#pragma once

#include "common/guarded.h"
#include "common/win/unique_handle.h"
#include "updater/ui/window_context.h"

#include <windows.h>

#include <utility>

namespace vantor {

// Receives what the controls of a window or panel report. Slot order:
// command, notify, timer.
class WidgetCommandHandler {
public:
    virtual ~WidgetCommandHandler() = default;

    // A control was used (WM_COMMAND) or an owner-drawn control must be drawn
    // (WM_DRAWITEM); `control` is its window. True when handled.
    virtual bool command(HWND control)
    {
        (void)control;
        return false;
    }

    // A message above WM_USER was sent to the window. True when handled.
    virtual bool notify(UINT message, WPARAM wParam, LPARAM lParam)
    {
        (void)message;
        (void)wParam;
        (void)lParam;
        return false;
    }

    // A timer of the window fired; `data` is the timer message's LPARAM.
    virtual void timer(UINT_PTR id, LPARAM data)
    {
        (void)id;
        (void)data;
    }
};

// A child window with its position and size. The window goes with its
// parent; a widget that is destroyed while its window still exists (on an
// early return) destroys the window itself, after detaching it from the
// widget so that no message reaches a half-destroyed object.
class Widget {
public:
    Widget() = default;
    virtual ~Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    HWND handle() const { return m_handle; }
    int x() const { return m_x; }
    int y() const { return m_y; }
    int width() const { return m_width; }
    int height() const { return m_height; }

protected:
    // Creates the window and records handle, position and size. `creationData`
    // reaches the window procedure in WM_NCCREATE. A window that cannot be
    // created leaves the handle null.
    void createWindow(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                      int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance, void* creationData);

    HWND m_handle = nullptr;
    int m_x = 0;
    int m_y = 0;
    int m_width = 0;
    int m_height = 0;
};

// A static text child.
class TextWidget : public Widget {
public:
    // A visible static text with `text` at (x, 20), width x height, in font 0
    // of the context's font set. Long text wraps at word ends.
    void create(HWND parent, const WindowContext& context, const wchar_t* text, int x, int width, int height);
};

// A push button child.
class PushButton : public Widget {
public:
    // A visible push button with `caption`, whose WM_COMMAND carries `id`,
    // in font 0 of the context's font set.
    void create(HWND parent, const WindowContext& context, const wchar_t* caption, UINT id, int x, int y, int width,
                int height);
};

// Draws an icon at (0, 0) of a 20 x 20 child at (10, 10), at the icon's own
// size. Slot 0: paint.
class Icon : public Widget {
public:
    static constexpr int kSize = 20;

    Icon() = default;
    // `icon` is drawn; `owned` (may be empty) is destroyed with the widget.
    void setIcon(HICON icon, win::OwnedIcon owned = win::OwnedIcon());
    HICON icon() const { return m_icon; }

    void create(HWND parent, HINSTANCE instance);

    virtual void paint(HDC dc);

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HICON m_icon = nullptr;
    win::OwnedIcon m_owned;
};

// Paints a panel. Neither panel of this program has one.
class PanelPainter {
public:
    virtual ~PanelPainter() = default;
    // The background brush for a static control on the panel, or null.
    virtual HBRUSH brush(HDC dc, HWND control) = 0;
    // Paints into `dc`: the panel's own area on WM_PAINT (between BeginPaint
    // and EndPaint), or a static control's when brush() gave none.
    virtual void paint(HDC dc) = 0;
};

// A plain child window that holds widgets: the body area or the button strip.
// The commands of the controls placed on it go to its command handler.
class Panel : public Widget {
public:
    // A visible child of `parent` at (x, y), width x height.
    void create(HWND parent, const WindowContext& context, int x, int y, int width, int height,
                WidgetCommandHandler* commandHandler);

    const WindowContext& context() const { return *m_context; }
    WidgetCommandHandler* commandHandler() const { return m_commandHandler; }
    void setPainter(PanelPainter* painter) { m_painter = painter; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const WindowContext* m_context = nullptr;
    WidgetCommandHandler* m_commandHandler = nullptr;
    PanelPainter* m_painter = nullptr;
};

// WM_DRAWITEM: the owner-drawn control keeps its WidgetCommandHandler in its
// user data; that handler is asked to draw it. Controls without a handler are
// left alone.
void forwardDrawItem(LPARAM drawItem);

// Stores the object given to CreateWindowExW in the window's user data on
// WM_NCCREATE, so that the window procedure finds it from the first message
// on.
void attachCreationData(HWND window, UINT message, LPARAM lParam);

// Logs an exception caught in a window procedure through currentLog.
void reportProcedureException(UINT message) noexcept;

// Runs a window procedure's work and turns any C++ exception into default
// processing (logged through currentLog when there is one): no exception may
// unwind through the system's message dispatch.
template <typename Work>
LRESULT guardedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Work&& work) noexcept
{
    return guarded(std::forward<Work>(work), [&](const char*) {
        reportProcedureException(message);
        return DefWindowProcW(window, message, wParam, lParam);
    });
}

}  // namespace vantor
