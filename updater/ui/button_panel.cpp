#include "button_panel.h"

#include <utility>

namespace vantor {

ButtonPanelImpl::ButtonPanelImpl(std::vector<ButtonSpecification> specifications)
    : m_specifications(std::move(specifications))
{
}

bool ButtonPanelImpl::command(HWND control)
{
    if (control == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons[i]->handle() == control) {
            m_chosenId = m_specifications[i].id;
            return true;
        }
    }
    return false;
}

void ButtonPanelImpl::create(Panel& strip)
{
    const WindowContext& context = strip.context();
    m_buttons.clear();
    for (std::size_t i = 0; i < m_specifications.size(); ++i) {
        const ButtonSpecification& specification = m_specifications[i];
        const int x = strip.width() - kButtonPitch * static_cast<int>(i + 1);
        const int y = strip.height() - 31;
        auto button = std::make_unique<PushButton>();
        button->create(strip.handle(), context, localText(context, specification.key.c_str()),
                       static_cast<UINT>(specification.id), x, y, kButtonWidth, kButtonHeight);
        ShowWindow(button->handle(), SW_SHOW);
        m_buttons.push_back(std::move(button));
    }
}

}  // namespace vantor
