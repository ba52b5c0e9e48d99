#include "updater/ui/dialog.h"

#include "updater/startup/diagnostics_log.h"

#include <algorithm>
#include <string>
#include <utility>

namespace vantor {

Dialog::Dialog(ButtonPanel& buttons) : m_buttons(buttons) {}

Dialog::~Dialog() = default;

int Dialog::show(const WindowContext& context, const wchar_t* title)
{
    m_window = std::make_unique<Window>(context);
    if (!m_window->create()) {
        // Nothing could be shown, so nothing could ever close the loop: end
        // here rather than wait forever for a window that does not exist.
        const DWORD error = GetLastError();
        if (context.log != nullptr) {
            context.log->write(L"ERROR", L"Can't create the installer window, error " + std::to_wstring(error));
        }
        m_window.reset();
        return 0;
    }
    m_window->setDirector(this);
    m_window->setTitle(title);

    const int width = m_window->clientWidth();
    const int height = m_window->clientHeight();
    const int stripHeight = Window::kStripHeight;
    m_body = std::make_unique<Panel>();
    m_body->create(m_window->handle(), context, 0, 0, width, height - stripHeight, nullptr);
    m_strip = std::make_unique<Panel>();
    m_strip->create(m_window->handle(), context, 0, height - stripHeight, width, stripHeight, this);

    createContent(*m_body);
    m_buttons.create(*m_strip);
    ShowWindow(m_strip->handle(), SW_SHOW);

    m_window->setListener(this);
    const int result = m_window->runMessageLoop();
    m_window->destroy();
    m_window.reset();
    return result;
}

Widget* RequiresAdminPrivileges::createContent(Panel& body)
{
    const WindowContext& context = body.context();
    m_message.create(body.handle(), context, localText(context, kMessageKey), 50, body.width() - 60, body.height());

    // The small size of the stop icon fits the 20 x 20 widget whole; the
    // standard (large) one would be cut to its top-left corner.
    const int size = std::min(GetSystemMetrics(SM_CXSMICON), Icon::kSize);
    win::OwnedIcon owned(static_cast<HICON>(LoadImageW(nullptr, IDI_HAND, IMAGE_ICON, size, size, 0)));
    HICON icon = owned ? owned.get() : LoadIconW(nullptr, IDI_HAND);
    m_icon.setIcon(icon, std::move(owned));
    m_icon.create(body.handle(), context.instance);
    return &m_icon;
}

bool RequiresAdminPrivileges::command(HWND control)
{
    if (!buttonPanel().command(control)) {
        return false;
    }
    // Posted, not sent: the window must not be destroyed while the button
    // that reported the click is still inside its own message handling.
    if (Window* frame = window()) {
        PostMessageW(frame->handle(), WM_CLOSE, 0, 0);
    }
    return true;
}

bool RequiresAdminPrivileges::notify(UINT, WPARAM, LPARAM)
{
    return false;
}

void RequiresAdminPrivileges::timer(UINT_PTR, LPARAM) {}

bool RequiresAdminPrivileges::start()
{
    Window* frame = window();
    if (frame == nullptr) {
        return false;
    }
    ShowWindow(frame->handle(), SW_SHOWDEFAULT);
    if (!IsWindowVisible(frame->handle())) {
        // Started with "hidden" as its show command, the program would wait
        // for a user who cannot see the window.
        ShowWindow(frame->handle(), SW_SHOWNORMAL);
    }
    UpdateWindow(frame->handle());
    return true;
}

}  // namespace vantor
