// The message of an access exception that carries a Windows error code.
// Pure: no Windows header.
#pragma once

#include <cstddef>

namespace vantor::access {

// The largest message length, in characters, of an exception with a code.
inline constexpr std::size_t kMaxCodedMessageLength = 4095;

// Writes "<message> (error_code=<code>)" (the code as a signed decimal) into
// `out`, cut to capacity - 1 characters and always terminated. Returns the
// number of characters written.
std::size_t formatErrorCodeMessage(char* out, std::size_t capacity, const char* message, long code) noexcept;

}  // namespace vantor::access
