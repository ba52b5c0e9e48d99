#include "updater/ui/widgets.h"

#include "updater/startup/diagnostics_log.h"

#include <string>
#include <utility>

namespace vantor {

namespace {

constexpr wchar_t kPanelClass[] = L"InstallerPanelClass";
constexpr wchar_t kIconClass[] = L"InstallerIconClass";

// Registers a plain child-window class of the module once; a class that is
// already registered (a second dialog in the same process) is fine as it is.
void registerChildClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    if (GetClassInfoExW(instance, name, &windowClass)) {
        return;
    }
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

template <typename Record>
Record* recordOf(HWND window)
{
    return reinterpret_cast<Record*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void setFont(HWND window, HFONT font)
{
    if (window != nullptr && font != nullptr) {
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

}  // namespace

void reportProcedureException(UINT message) noexcept
{
    // Nothing more can be done when the line itself fails.
    guarded(
        [message] {
            if (currentLog != nullptr) {
                currentLog->write(L"ERROR", L"Exception in window procedure, message " + std::to_wstring(message));
            }
        },
        [](const char*) {});
}

void attachCreationData(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
}

void forwardDrawItem(LPARAM drawItem)
{
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(drawItem);
    if (item == nullptr || item->hwndItem == nullptr) {
        return;
    }
    if (WidgetCommandHandler* handler = recordOf<WidgetCommandHandler>(item->hwndItem)) {
        handler->command(item->hwndItem);
    }
}

Widget::~Widget()
{
    if (m_handle != nullptr && IsWindow(m_handle)) {
        SetWindowLongPtrW(m_handle, GWLP_USERDATA, 0);
        DestroyWindow(m_handle);
    }
}

void Widget::createWindow(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                          int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance, void* creationData)
{
    m_x = x;
    m_y = y;
    m_width = width;
    m_height = height;
    m_handle = CreateWindowExW(exStyle, className, text, style, x, y, width, height, parent, menuOrId, instance,
                               creationData);
}

void TextWidget::create(HWND parent, const WindowContext& context, const wchar_t* text, int x, int width, int height)
{
    createWindow(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT, x, 20, width, height, parent, nullptr,
                 context.instance, nullptr);
    setFont(m_handle, context.fonts[0]);
}

void PushButton::create(HWND parent, const WindowContext& context, const wchar_t* caption, UINT id, int x, int y,
                        int width, int height)
{
    createWindow(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x, y, width, height,
                 parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), context.instance, nullptr);
    setFont(m_handle, context.fonts[0]);
}

void Icon::setIcon(HICON icon, win::OwnedIcon owned)
{
    m_icon = icon;
    m_owned = std::move(owned);
}

void Icon::create(HWND parent, HINSTANCE instance)
{
    registerChildClass(instance, kIconClass, &Icon::procedure);
    createWindow(0, kIconClass, L"", WS_CHILD | WS_VISIBLE, 10, 10, kSize, kSize, parent, nullptr, instance, this);
}

void Icon::paint(HDC dc)
{
    if (m_icon != nullptr) {
        // Width and height 0: the icon's own size, clipped by the widget.
        DrawIconEx(dc, 0, 0, m_icon, 0, 0, 0, nullptr, DI_NORMAL);
    }
}

LRESULT CALLBACK Icon::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return guardedProcedure(window, message, wParam, lParam, [&]() -> LRESULT {
        attachCreationData(window, message, lParam);
        Icon* icon = recordOf<Icon>(window);
        if (message == WM_PAINT && icon != nullptr) {
            PAINTSTRUCT paint{};
            if (HDC dc = BeginPaint(window, &paint)) {
                icon->paint(dc);
                EndPaint(window, &paint);
            }
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    });
}

void Panel::create(HWND parent, const WindowContext& context, int x, int y, int width, int height,
                   WidgetCommandHandler* commandHandler)
{
    m_context = &context;
    m_commandHandler = commandHandler;
    registerChildClass(context.instance, kPanelClass, &Panel::procedure);
    createWindow(0, kPanelClass, L"", WS_CHILD | WS_VISIBLE, x, y, width, height, parent, nullptr, context.instance,
                 this);
}

LRESULT CALLBACK Panel::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return guardedProcedure(window, message, wParam, lParam, [&]() -> LRESULT {
        attachCreationData(window, message, lParam);
        if (Panel* panel = recordOf<Panel>(window)) {
            return panel->handleMessage(window, message, wParam, lParam);
        }
        return DefWindowProcW(window, message, wParam, lParam);
    });
}

LRESULT Panel::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DRAWITEM:
        forwardDrawItem(lParam);
        return 0;
    case WM_COMMAND:
        if (m_commandHandler != nullptr) {
            m_commandHandler->command(reinterpret_cast<HWND>(lParam));
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        if (m_painter != nullptr) {
            const auto dc = reinterpret_cast<HDC>(wParam);
            if (HBRUSH brush = m_painter->brush(dc, reinterpret_cast<HWND>(lParam))) {
                return reinterpret_cast<LRESULT>(brush);
            }
            m_painter->paint(dc);
            return 0;
        }
        break;
    case WM_PAINT:
        if (m_painter != nullptr) {
            // The painter draws between BeginPaint and EndPaint, which
            // validate the area; without them WM_PAINT would come again and
            // again.
            PAINTSTRUCT paint{};
            if (HDC dc = BeginPaint(window, &paint)) {
                m_painter->paint(dc);
                EndPaint(window, &paint);
            }
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace vantor
