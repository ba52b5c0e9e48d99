// Writing arguments into a Windows command line so that the started program
// reads each one back unchanged. Pure: no Windows calls.
//
// A program splits its command line with CommandLineToArgvW or its C
// runtime's equivalent; both read it by the same rules:
//  - blanks (space, tab) outside double quotes separate arguments;
//  - a double quote starts or ends a quoted run, in which blanks are kept;
//  - 2n backslashes followed by a double quote give n backslashes and the
//    quote acts as a delimiter; 2n+1 backslashes followed by a double quote
//    give n backslashes and a literal quote;
//  - backslashes not followed by a double quote are taken literally.
// So a path that ends in a backslash ("C:\") written as "C:\" would escape
// its own closing quote and swallow everything after it into one argument.
#pragma once

#include <string>
#include <string_view>

namespace vantor::text {

// `argument` in double quotes, with every embedded double quote escaped and
// the backslashes that precede a quote (the closing one included) doubled.
// For a text without quotes and trailing backslashes that is just the text
// between two quotes.
inline std::wstring quoteArgument(std::wstring_view argument)
{
    std::wstring quoted;
    quoted.reserve(argument.size() + 2);
    quoted += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            // Each preceding backslash doubled, then one more to escape the quote.
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += c;
    }
    // Before the closing quote every backslash must be doubled.
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

// True when `argument` can stand in a command line as it is: not empty, and
// without blanks, line breaks or double quotes.
inline bool needsNoQuoting(std::wstring_view argument)
{
    return !argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos;
}

// `argument` as it is where that reads back the same, else quoted.
inline std::wstring commandLineArgument(std::wstring_view argument)
{
    return needsNoQuoting(argument) ? std::wstring(argument) : quoteArgument(argument);
}

// The first element of a command line is read by other rules: CommandLineToArgvW
// takes it as a program name, which ends at the next quote when it starts
// with one and at the next blank otherwise; backslashes escape nothing there.
// Writes `argument` so that it reads back the same as that first element. Any
// first element that CommandLineToArgvW itself produced can be written so;
// one that has both a blank and a quote cannot, and is quoted as any other.
inline std::wstring firstCommandLineArgument(std::wstring_view argument)
{
    const bool hasBlank = argument.find_first_of(L" \t") != std::wstring_view::npos;
    const bool hasQuote = argument.find(L'"') != std::wstring_view::npos;
    if (!argument.empty() && !hasBlank && argument.front() != L'"') {
        return std::wstring(argument);
    }
    if (!hasQuote) {
        return L"\"" + std::wstring(argument) + L"\"";
    }
    return quoteArgument(argument);
}

}  // namespace vantor::text
