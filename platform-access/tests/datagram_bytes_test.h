// Building crafted datagrams byte by byte, for the probe and trace tests.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantor::access::testing {

using Bytes = std::vector<std::uint8_t>;

// a followed by the first `count` bytes of b. (Built by copying rather than
// by vector::insert, which GCC 12 warns about wrongly.)
template <typename Tail>
Bytes joined(const Bytes& a, const Tail& b, std::size_t count)
{
    Bytes out(a.size() + count);
    std::copy(a.begin(), a.end(), out.begin());
    std::copy(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(count),
              out.begin() + static_cast<std::ptrdiff_t>(a.size()));
    return out;
}

// A 16-bit field in network order.
inline void put16(Bytes& bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(value);
}

}  // namespace vantor::access::testing
