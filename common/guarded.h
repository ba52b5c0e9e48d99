// The one guard for a boundary that no C++ exception may cross: an export
// called by the JVM, a thread procedure, a window procedure, an entry point.
// An exception that left one would unwind through frames that are not C++
// (the JVM's, the kernel's thread start, user32's message dispatch) or end
// the program: undefined behaviour, in practice a crash. Pure: no Windows
// header.
#pragma once

#include <new>
#include <utility>

namespace vantor {

// Runs `body` and returns its result. If it throws, returns
// onFailure(message) instead, where message is "out of memory" for
// std::bad_alloc and "internal error" for any other exception. `onFailure`
// must not throw: nothing leaves this function.
template <typename Body, typename OnFailure>
auto guarded(Body&& body, OnFailure&& onFailure) noexcept -> decltype(body())
{
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        return onFailure("out of memory");
    } catch (...) {
        return onFailure("internal error");
    }
}

}  // namespace vantor
