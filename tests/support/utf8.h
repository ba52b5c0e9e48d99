// UTF-8 and UTF-16 text for the tests, their fixture programs and the JNI
// test host: the one conversion of them all. Header-only, so that a fixture
// program that links nothing of the tests can use it too.
#pragma once

#include <windows.h>

#include <string>

namespace vantor::testing {

inline std::wstring widen(const std::string& utf8)
{
    if (utf8.empty()) {
        return {};
    }
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

inline std::string narrow(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

}  // namespace vantor::testing
