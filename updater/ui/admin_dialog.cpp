// The administrator-rights dialog of the update flow: shown when the elevated
// copy of the updater could not be started.
#include "updater/ui/admin_dialog.h"

#include "common/guarded.h"
#include "updater/startup/diagnostics_log.h"
#include "updater/ui/button_panel.h"
#include "updater/ui/dialog.h"
#include "updater/ui/language_texts.h"
#include "updater/ui/window_context.h"

#include <memory>

namespace vantor {

namespace {

constexpr wchar_t kProductName[] = L"Vantor";
constexpr std::uint32_t kCloseButtonId = 1;

}  // namespace

const WindowContext* currentWindowContext = nullptr;

void showAdminRightsDialog(HINSTANCE instance, HINSTANCE previousInstance, DiagnosticsLog& log)
{
    // The update flow goes on after the dialog, shown or not; the log is the
    // last resort, with nothing left to report to when its line fails.
    guarded([&] {
        // The fonts, the texts and the context are the process's own from
        // here on: they are never freed before the process ends.
        static const FontSet fonts = createFontSet();
        static std::unique_ptr<TextTable> texts;
        static WindowContext context;

        texts = loadLanguageTexts(instance, GetUserDefaultLangID(), &log);

        context.previousInstance = previousInstance;
        context.instance = instance;
        context.fonts = fonts;
        context.log = &log;
        context.textTable = texts.get();
        currentWindowContext = &context;

        ButtonPanelImpl buttons({{kCloseButtonId, L"CLOSE"}});
        RequiresAdminPrivileges dialog(buttons);
        dialog.show(context, kProductName);
    }, [&log](const char*) {
        guarded([&log] { log.write(L"ERROR", L"Exception in showAdminRightsDialog()"); }, [](const char*) {});
    });
}

}  // namespace vantor
