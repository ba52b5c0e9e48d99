// Path helpers of the launcher. Pure: no Windows calls.
//
// Separators are "\" and "/". The search runs from the end down to the second
// character, so a separator in the first position is never found: "\x" has
// no folder part and its file name is empty.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantor {

// Position of the last separator at index 1 or later, or npos.
std::size_t lastSeparator(std::wstring_view path) noexcept;

// The path up to (not including) its last separator; the whole path when it
// has none. The result is what an output buffer of `capacity` characters
// holds: a path that does not fit is cut before the separator is looked for.
std::wstring directoryOf(std::wstring_view path, std::size_t capacity);

// The text after the last separator, or empty when there is none.
std::wstring fileNameOf(std::wstring_view path);

}  // namespace vantor
