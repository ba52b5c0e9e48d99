// The boundary between the library's C++ code and whatever calls it: the JVM
// for the exports, Windows for the hook thread's procedures and DllMain.
//
// No C++ exception may cross it. The operations build strings, vectors and
// maps, and a std::bad_alloc (or any other exception) that left an export
// would unwind through the JVM's own frames, and one that left a window
// procedure through those of user32: undefined behaviour, in practice a
// crashed JVM. So every export runs its operation through guardOperation,
// and the hook thread's entry and window procedure through guarded
// (common/guarded.h), each with the outward form of a failure that suits its
// caller.
//
// The operations themselves stay exception-neutral: what they hold (handles,
// local references, local frames, the thread's attachment to the VM) is
// owned by objects that let go of it while an exception passes.
#pragma once

#include "common/guarded.h"

#include <jni.h>

#include <utility>

namespace vantor::access {

// Turns a C++ exception that ended `operation` into the Java caller's
// OvWin32AccessExceptionImpl(operation, message), or, without the exception
// class, into the line on standard error that stands for it. A Java
// exception that is already pending is left as it is: it is the operation's
// first failure and what the caller is to see, and no other exception may be
// thrown over it.
void reportOperationFailure(JNIEnv* env, const char* operation, const char* message) noexcept;

// The result type of an operation's body.
template <typename Body>
using OperationResult = decltype(std::declval<Body&>()());

// Runs the operation of an export (`operation` is its name, the Java
// method's) and returns its result; if a C++ exception ends it, reports the
// failure as above and returns `neutral`, the operation's neutral result
// (null, 0, -1 or false).
template <typename Body>
OperationResult<Body> guardOperation(JNIEnv* env, const char* operation, OperationResult<Body> neutral,
                                     Body&& body) noexcept
{
    return guarded(std::forward<Body>(body), [env, operation, neutral](const char* message) {
        reportOperationFailure(env, operation, message);
        return neutral;
    });
}

// The same for an operation without a result.
template <typename Body>
void guardOperation(JNIEnv* env, const char* operation, Body&& body) noexcept
{
    guarded(std::forward<Body>(body),
            [env, operation](const char* message) { reportOperationFailure(env, operation, message); });
}

}  // namespace vantor::access
