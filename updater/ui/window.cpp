#include "updater/ui/window.h"

#include "updater/ui/gdiplus_startup.h"

namespace vantor {

Window::Window(const WindowContext& context) : m_context(context)
{
    const int workWidth = GetSystemMetrics(SM_CXFULLSCREEN);
    const int workHeight = GetSystemMetrics(SM_CYFULLSCREEN);
    m_x = workWidth / 2 - kWidth / 2;
    m_y = workHeight / 2 - kHeight / 2;
    m_width = kWidth;
    m_height = kHeight;
    m_gdiplusToken = startGdiplus();
}

Window::~Window()
{
    // Detach before the window goes, so that its last messages find no
    // record that is being torn down (the base class destroys it).
    if (m_handle != nullptr && IsWindow(m_handle)) {
        SetWindowLongPtrW(m_handle, GWLP_USERDATA, 0);
    }
}

bool Window::command(HWND control)
{
    return m_listener != nullptr && m_listener->command(control);
}

bool Window::notify(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_listener != nullptr) {
        m_listener->notify(message, wParam, lParam);
    }
    return true;
}

bool Window::create()
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &Window::procedure;
    windowClass.hInstance = m_context.instance;
    windowClass.hIcon = LoadIconW(m_context.instance, MAKEINTRESOURCEW(kLargeIconId));
    windowClass.hIconSm = LoadIconW(m_context.instance, MAKEINTRESOURCEW(kSmallIconId));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kClassName;
    // A second dialog in the same process finds the class registered already,
    // with the same procedure; that failure is harmless.
    RegisterClassExW(&windowClass);

    createWindow(WS_EX_TOPMOST, kClassName, L"", WS_CAPTION | WS_SYSMENU, m_x, m_y, m_width, m_height, nullptr,
                 nullptr, m_context.instance, this);
    if (m_handle == nullptr) {
        return false;
    }
    RECT client{};
    GetClientRect(m_handle, &client);
    m_clientWidth = client.right - client.left;
    m_clientHeight = client.bottom - client.top;
    return true;
}

void Window::setTitle(const wchar_t* title)
{
    SetWindowTextW(m_handle, title != nullptr ? title : L"");
}

int Window::runMessageLoop()
{
    if (m_listener != nullptr && !m_listener->start()) {
        return 0;
    }
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(message.wParam);
        }
        if (got == -1) {
            // The queue cannot be read (it never is for a valid call); end the
            // loop rather than spin on the error.
            return 0;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Window::destroy()
{
    if (m_handle == nullptr || !IsWindow(m_handle)) {
        return;
    }
    DestroyWindow(m_handle);
    MSG quit{};
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

LRESULT CALLBACK Window::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return guardedProcedure(window, message, wParam, lParam, [&]() -> LRESULT {
        attachCreationData(window, message, lParam);
        if (auto* record = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
            return record->handleMessage(window, message, wParam, lParam);
        }
        return DefWindowProcW(window, message, wParam, lParam);
    });
}

LRESULT Window::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (m_listener != nullptr) {
            m_listener->timer(static_cast<UINT_PTR>(wParam), lParam);
        }
        return 0;
    case WM_COMMAND:
        command(reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_DRAWITEM:
        forwardDrawItem(lParam);
        return 0;
    case WM_CLOSE:
        if (m_director != nullptr && !m_director->mayClose()) {
            return 0;
        }
        break;
    case WM_DESTROY:
        if (m_director != nullptr && !m_director->mayQuit()) {
            return 0;
        }
        if (m_listener != nullptr) {
            m_listener->exit();
        }
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        // The record may go before the window's handle is reused.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    default:
        if (message > WM_USER) {
            notify(message, wParam, lParam);
            return 0;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace vantor
