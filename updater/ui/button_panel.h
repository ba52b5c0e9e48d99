// The buttons along the bottom of the installer window.
#pragma once

#include "updater/ui/widgets.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantor {

// Slot order after those of WidgetCommandHandler: create, chosenId.
class ButtonPanel : public WidgetCommandHandler {
public:
    // Creates the buttons on the strip panel.
    virtual void create(Panel& strip) = 0;
    // The id of the button pressed last, 0 while none was.
    virtual std::uint32_t chosenId() const = 0;
};

struct ButtonDefinition {
    std::uint32_t id = 0;
    std::wstring key;  // the key of the caption in the text table
};

class ButtonPanelImpl : public ButtonPanel {
public:
    static constexpr int kButtonWidth = 80;
    static constexpr int kButtonHeight = 25;
    // Distance from one button's left edge to the next one's.
    static constexpr int kButtonPitch = 86;

    explicit ButtonPanelImpl(std::vector<ButtonDefinition> definitions);

    // True, recording the button's id, when `control` is one of the buttons.
    bool command(HWND control) override;

    // One push button per definition, in the order given, from the right
    // edge of the strip leftwards: the i-th (from 0) at x = strip width -
    // 86 * (i + 1), y = strip height - 31, 80 x 25, captioned with the text of
    // its key (the key itself when the table has none), in font 0.
    void create(Panel& strip) override;

    std::uint32_t chosenId() const override { return m_chosenId; }

    const std::vector<std::unique_ptr<PushButton>>& buttons() const { return m_buttons; }

private:
    std::vector<ButtonDefinition> m_definitions;
    std::vector<std::unique_ptr<PushButton>> m_buttons;
    std::uint32_t m_chosenId = 0;
};

}  // namespace vantor
