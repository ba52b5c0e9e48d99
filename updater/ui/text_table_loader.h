// Building text tables from the program's language resources (UTF-8) and
// from files on disk (the system's ANSI code page).
#pragma once

#include "updater/ui/text_table.h"

#include <cstddef>
#include <memory>
#include <string>

namespace vantor {

// Resource form: `bytes` are UTF-8 text (a byte order mark is skipped by the
// parser); the table keeps `languageId`. Never fails: undecodable bytes give
// an empty table.
std::unique_ptr<TextTable> textTableFromMemory(const void* bytes, std::size_t length, int languageId);

// File form: replaces the table's entries with those of the file at `path`,
// read whole and decoded with the ANSI code page. A file that cannot be
// opened or is empty leaves the table empty.
void loadTextTableFile(TextTable& table, const std::wstring& path);

}  // namespace vantor
