#include "platform-access/core/error_text.h"

#include <cstdio>
#include <cstring>

namespace vantor::access {

std::size_t formatErrorCodeMessage(char* out, std::size_t capacity, const char* message, long code) noexcept
{
    if (capacity == 0) {
        return 0;
    }
    // snprintf cuts to the buffer and terminates; its result is the length
    // the whole text would have had.
    const int wanted = std::snprintf(out, capacity, "%s (error_code=%ld)", message, code);
    if (wanted < 0) {
        out[0] = '\0';
        return 0;
    }
    return std::strlen(out);
}

}  // namespace vantor::access
