// Fixed-size text buffers, the one place where their limits are applied.
//
// The program hands many texts to Windows in buffers of a fixed number of
// characters, the terminator included. A text either fits (length at most
// capacity - 1) or it does not; what happens then is the caller's decision:
//   - copyCut keeps the first capacity - 1 characters ("longer text is cut");
//   - copyWhole refuses and leaves the destination untouched.
// Neither ever writes past the buffer, and both always terminate a copy they
// make. A capacity of 0 holds nothing, not even the terminator.
#pragma once

#include <cstddef>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

namespace vantor::text {

// True when `length` characters plus the terminator fit `capacity`.
constexpr bool fits(std::size_t length, std::size_t capacity) noexcept
{
    return capacity > 0 && length < capacity;
}

template <typename Char>
bool copyCut(Char* destination, std::size_t capacity, std::basic_string_view<Char> source) noexcept
{
    if (capacity == 0) {
        return false;
    }
    const std::size_t n = source.size() < capacity ? source.size() : capacity - 1;
    source.copy(destination, n);
    destination[n] = Char();
    return n == source.size();
}

template <typename Char>
[[nodiscard]] bool copyWhole(Char* destination, std::size_t capacity, std::basic_string_view<Char> source) noexcept
{
    if (!fits(source.size(), capacity)) {
        return false;
    }
    source.copy(destination, source.size());
    destination[source.size()] = Char();
    return true;
}

// The text as a buffer of `capacity` characters would hold it.
template <typename Char>
std::basic_string<Char> cut(std::basic_string_view<Char> source, std::size_t capacity)
{
    if (capacity == 0) {
        return {};
    }
    return std::basic_string<Char>(source.substr(0, capacity - 1));
}

// Length of a text stored in a buffer that may lack its terminator: the units
// before the first zero, or all of them.
template <typename Char>
std::size_t boundedLength(const Char* buffer, std::size_t units) noexcept
{
    std::size_t n = 0;
    while (n < units && buffer[n] != Char()) {
        ++n;
    }
    return n;
}

// swprintf into a buffer of `capacity` characters (at least 1); a longer
// text is cut.
template <typename... Args>
std::wstring formatCut(std::size_t capacity, const wchar_t* format, Args... args)
{
    std::vector<wchar_t> buffer(capacity, L'\0');
    const int n = std::swprintf(buffer.data(), capacity, format, args...);
    if (n < 0) {
        // C99 swprintf reports truncation as a failure; keep what it wrote.
        buffer[capacity - 1] = L'\0';
    }
    return std::wstring(buffer.data());
}

}  // namespace vantor::text
