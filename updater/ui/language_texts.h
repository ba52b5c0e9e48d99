// The program's language resources: one KEY=VALUE text file per language,
// UTF-8 with a byte order mark, kept in the executable (see ui.rc).
#pragma once

#include "updater/ui/text_table.h"

#include <windows.h>

#include <memory>

namespace vantor {

class DiagnosticsLog;

// The custom resource type of the language files. The resources are found
// by type and identifier only; their resource language plays no role.
constexpr wchar_t kTextResourceType[] = L"LANGTEXT";

// The table built from the language resource `resourceId` of `module`, which
// keeps `languageId`; null when the resource is missing or cannot be loaded
// (the last error then tells why).
std::unique_ptr<TextTable> loadTextResource(HMODULE module, int resourceId, int languageId);

// The texts for the user language `languageId`: the resource chosen by
// textResourceIdForLanguage; when that one is missing or cannot be loaded,
// the English resource; when that fails too, an empty table, whose lookups
// show their keys. Each fallback is logged when `log` is given. Never null.
std::unique_ptr<TextTable> loadLanguageTexts(HMODULE module, int languageId, DiagnosticsLog* log);

}  // namespace vantor
