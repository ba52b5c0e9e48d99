// How startBroadcast recognises the outside video player's main dialog and
// which of its controls it drives. Pure: no Windows header.
#pragma once

namespace vantor::access {

// The standard dialog class.
inline constexpr wchar_t kPlayerDialogClass[] = L"#32770";
inline constexpr char kPlayerDialogClassA[] = "#32770";

// The dialog's title: exactly these 31 characters.
inline constexpr wchar_t kPlayerDialogTitle[] = L"SopCast - Broadcast the channel";
inline constexpr char kPlayerDialogTitleA[] = "SopCast - Broadcast the channel";
inline constexpr unsigned kPlayerDialogTitleLength = 31;
static_assert(sizeof kPlayerDialogTitle / sizeof kPlayerDialogTitle[0] == kPlayerDialogTitleLength + 1);
static_assert(sizeof kPlayerDialogTitleA == kPlayerDialogTitleLength + 1);

// Control identifiers: the panel that holds the input field, the input field
// inside it, and the dialog's start button.
inline constexpr int kPlayerInputPanelId = 1005;
inline constexpr int kPlayerInputFieldId = 1001;
inline constexpr int kPlayerStartButtonId = 1035;

}  // namespace vantor::access
