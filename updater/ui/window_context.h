// What every widget of the installer window shares: the module, the fonts,
// the log and the texts of the user's language.
#pragma once

#include <windows.h>

namespace vantor {

class DiagnosticsLog;
class TextTable;

// The four fonts of the installer window, all of the face "Tahoma":
//   0: height 16, regular: message text and button captions;
//   1: height 16, bold;  2: height 13, regular;  3: height 13, underlined.
// The fonts live until the process ends; nothing deletes them.
struct FontSet {
    static constexpr int kCount = 4;
    HFONT fonts[kCount] = {};

    HFONT operator[](int position) const { return position >= 0 && position < kCount ? fonts[position] : nullptr; }
};

// Creates the four fonts. A font that cannot be created is null, and the
// controls that would use it keep the system font.
FontSet createFontSet();

// The shared window context, filled before the first window is created and
// kept for as long as any window uses it.
struct WindowContext {
    HINSTANCE previousInstance = nullptr;  // the program's second start parameter; not used
    HINSTANCE instance = nullptr;          // registers the window class and holds its icons
    FontSet fonts;
    DiagnosticsLog* log = nullptr;         // may be null
    const TextTable* textTable = nullptr;  // may be null: every text is then its key
};

// The context of the administrator-rights dialog once it has been shown,
// else null; reachable by everything in the process from then on.
extern const WindowContext* currentWindowContext;

// The text of `key` in the context's table, or `key` itself when there is no
// table or the table lacks the key.
const wchar_t* localText(const WindowContext& context, const wchar_t* key);

}  // namespace vantor
