// What every operation of vreg64 shares: the process-wide state, the
// conversion of Java strings into fixed buffers, the strings handed back to
// Java, and the reporting of failures as OvWin32AccessExceptionImpl.
//
// Conventions of the operations built on this frame:
//   - A failure throws the access exception (operation, message) and the very
//     next step returns the operation's neutral result (null, 0, -1 or false).
//     No further JNI call is made while that exception is pending, except
//     deleting local references.
//   - Every local reference an operation creates is deleted before it
//     returns, except the one it returns.
//   - Every Java string argument is copied into a buffer on the stack whose
//     capacity (terminator included) is the operation's limit + 1.
//   - Every export runs its operation through guardOperation (boundary.h),
//     so that a C++ exception becomes the operation's access exception
//     instead of unwinding into the JVM.
#pragma once

#include <windows.h>

#include <jni.h>

#include <atomic>
#include <cstddef>
#include <cstdio>

namespace vantor::access {

// The JNI class paths of the two Java classes the library binds to.
inline constexpr char kInterfaceClassPath[] = "ru/vantor/platform/win32/access/impl/OvWin32AccessInterface";
inline constexpr char kExceptionClassPath[] = "ru/vantor/platform/win32/access/impl/OvWin32AccessExceptionImpl";

// Process-wide state. The module handle and `narrowMode` are set once at
// process attach; the VM and the two global class references by
// `initialise` (a later `initialise` overwrites them; they are never
// deleted); the hook thread id by `initialise` as well. The hook thread reads
// the VM and the interface class while Java threads may call `initialise`
// again, hence the atomics.
extern HMODULE libraryModule;
extern bool narrowMode;  // true on the Windows 9x platform only: use the ANSI functions
extern std::atomic<JavaVM*> javaVm;
extern std::atomic<jclass> interfaceClass;
extern std::atomic<jclass> exceptionClass;
extern std::atomic<DWORD> hookThreadId;

// The one choice between the narrow (A) and the wide (W) implementation of
// an operation: the narrow one on the Windows 9x platform, the wide one
// everywhere else. Both take the same parameters; the entry point calls the
// one returned.
template <typename Function>
Function* byNarrowMode(Function* narrow, Function* wide) noexcept
{
    return narrowMode ? narrow : wide;
}

// Copies a Java string into `destination`, a buffer of `capacity` units
// (terminator included). A null string gives an empty text. A string of
// capacity units or more throws ("jstringToChars", "jstring truncation
// occurred"), leaves the destination as it was and returns false; so does a
// string whose characters the VM cannot provide (its exception is pending).
// The narrow form keeps the low 8 bits of each UTF-16 unit, without any code
// page conversion.
[[nodiscard]] bool jstringToChars(JNIEnv* env, jstring text, wchar_t* destination, std::size_t capacity);
[[nodiscard]] bool jstringToChars(JNIEnv* env, jstring text, char* destination, std::size_t capacity);

// A Java string of `length` UTF-16 units.
jstring newJavaString(JNIEnv* env, const wchar_t* text, std::size_t length);
// A Java string of the units up to the terminator.
jstring newJavaString(JNIEnv* env, const wchar_t* text);
// A Java string of the bytes up to the terminator, passed as they are to the
// VM's modified-UTF-8 constructor (the narrow implementations' way).
jstring newJavaString(JNIEnv* env, const char* bytes);

// Throws OvWin32AccessExceptionImpl(operation, message). Both texts are short
// ASCII. Without the exception class (no `initialise`, or the class was not
// found) the pair is only written to standard error.
void throwAccessException(JNIEnv* env, const char* operation, const char* message);

// Throws with the message "<message> (error_code=<code>)", the code as a
// signed decimal, the whole message cut to 4,095 characters.
void throwAccessExceptionWithCode(JNIEnv* env, const char* operation, const char* message, long code);

// Writes one diagnostic line of the library to `stream` (standard error or
// standard output) at once and whole. The C runtime buffers both streams
// when they are not a console, as under a Java application whose output
// goes to a pipe or a file; a line left in that buffer would arrive late,
// or never when the process ends without flushing it. So the line goes out
// in one write and is flushed before the call returns, with the stream
// locked throughout, so that lines of two threads never mix.
void writeDiagnosticLine(std::FILE* stream, const char* line) noexcept;

// Deletes a local reference when there is one.
inline void deleteLocal(JNIEnv* env, jobject reference)
{
    if (reference != nullptr) {
        env->DeleteLocalRef(reference);
    }
}

}  // namespace vantor::access
