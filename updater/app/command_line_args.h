// The updater's parsed command line. The rules live here and are pure; the
// splitting of the text into elements is the system's own (CommandLineToArgvW)
// and is done by fromCommandLine (command_line_args_win.cpp).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantor {

class CommandLineArgs {
public:
    // Capacity of the copy of the command-line text; a longer text is cut.
    static constexpr std::size_t kTextCapacity = 16384;
    // Capacity in which the "ARGS:" line is composed; a longer line is cut.
    static constexpr std::size_t kArgsLineCapacity = 1024;

    struct Pair {
        std::wstring name;
        std::optional<std::wstring> value;
    };

    CommandLineArgs() = default;

    // Builds the pairs from `elements`, the split form of `text`. The first
    // element is skipped when it is exactly `ownPath` (the program's own path
    // in short form). Each other element is a switch; an element that follows
    // it and does not begin with "/" is its value.
    CommandLineArgs(std::wstring_view text, const std::vector<std::wstring>& elements, std::wstring_view ownPath);

    // Splits `commandLine` the way the system does and reads the program's own
    // short path. A command line that cannot be split gives no pairs.
    static CommandLineArgs fromCommandLine(const wchar_t* commandLine);

    // True when some switch equals `name` exactly, letter case included.
    bool has(std::wstring_view name) const;

    // The copy of the command-line text (at most 16,383 characters).
    const std::wstring& text() const { return m_text; }
    const std::vector<Pair>& pairs() const { return m_pairs; }
    // The elements the text was split into, the program's own path included
    // where it stood first.
    const std::vector<std::wstring>& elements() const { return m_elements; }

    // The elements written back into a command-line text, each quoted where
    // needed so that the program they are handed to splits the text into
    // exactly these elements again: the first by the rules of a program
    // name, the others as arguments. Elements that need no quoting come out
    // as they are, separated by one blank.
    std::wstring forwardedText() const;

    // "ARGS:" followed by "<switch> " and, for a switch with a value,
    // "<value> " for each pair, as a buffer of 1,024 characters holds it.
    std::wstring argsLine() const;

private:
    std::wstring m_text;
    std::vector<std::wstring> m_elements;
    std::vector<Pair> m_pairs;
};

}  // namespace vantor
