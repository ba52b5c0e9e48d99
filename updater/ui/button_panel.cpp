#include "updater/ui/button_panel.h"

#include <utility>

namespace vantor {

ButtonPanelImpl::ButtonPanelImpl(std::vector<ButtonDefinition> definitions)
    : m_definitions(std::move(definitions))
{
}

bool ButtonPanelImpl::command(HWND control)
{
    if (control == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons[i]->handle() == control) {
            m_chosenId = m_definitions[i].id;
            return true;
        }
    }
    return false;
}

void ButtonPanelImpl::create(Panel& strip)
{
    const WindowContext& context = strip.context();
    m_buttons.clear();
    for (std::size_t i = 0; i < m_definitions.size(); ++i) {
        const ButtonDefinition& definition = m_definitions[i];
        const int x = strip.width() - kButtonPitch * static_cast<int>(i + 1);
        const int y = strip.height() - 31;
        auto button = std::make_unique<PushButton>();
        button->create(strip.handle(), context, localText(context, definition.key.c_str()),
                       static_cast<UINT>(definition.id), x, y, kButtonWidth, kButtonHeight);
        ShowWindow(button->handle(), SW_SHOW);
        m_buttons.push_back(std::move(button));
    }
}

}  // namespace vantor
