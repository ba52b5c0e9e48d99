#include "updater/ui/language_texts.h"

#include "updater/startup/diagnostics_log.h"
#include "updater/ui/text_table_loader.h"

#include <string>

namespace vantor {

std::unique_ptr<TextTable> loadTextResource(HMODULE module, int resourceId, int languageId)
{
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(resourceId), kTextResourceType);
    if (resource == nullptr) {
        return nullptr;
    }
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return nullptr;
    }
    auto table = textTableFromMemory(bytes, size, languageId);
    // A no-op on every 32- and 64-bit Windows; kept as the pair of LoadResource.
    FreeResource(loaded);
    return table;
}

std::unique_ptr<TextTable> loadLanguageTexts(HMODULE module, int languageId, DiagnosticsLog* log)
{
    const int chosen = textResourceIdForLanguage(languageId);
    if (auto table = loadTextResource(module, chosen, languageId)) {
        return table;
    }
    const DWORD error = GetLastError();
    if (chosen != kEnglishTextsId) {
        if (log != nullptr) {
            log->write(L"WARNING", L"Can't load text resource " + std::to_wstring(chosen) + L", error " +
                                       std::to_wstring(error) + L"; using the English texts");
        }
        if (auto table = loadTextResource(module, kEnglishTextsId, languageId)) {
            return table;
        }
    }
    const DWORD englishError = chosen != kEnglishTextsId ? GetLastError() : error;
    if (log != nullptr) {
        log->write(L"ERROR", L"Can't load the English text resource, error " + std::to_wstring(englishError) +
                                 L"; texts are shown by their keys");
    }
    return std::make_unique<TextTable>(languageId);
}

}  // namespace vantor
