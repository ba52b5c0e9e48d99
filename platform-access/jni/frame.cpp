// The library frame: process attach, the process-wide state, Java string
// conversion, throwing the access exception, initialise/destroy and the three small
// operations getVersion, getModuleName and testNativeAvailability.
#include "platform-access/jni/frame.h"

#include "common/text/bounded_copy.h"
#include "common/win/unique_handle.h"
#include "platform-access/core/error_text.h"
#include "platform-access/jni/boundary.h"
#include "platform-access/jni/exports.h"
#include "platform-access/jni/fault_point.h"
#include "platform-access/jni/hook_window.h"

#include <process.h>

#include <cstdio>
#include <cwchar>

namespace vantor::access {

HMODULE libraryModule = nullptr;
bool narrowMode = false;
std::atomic<JavaVM*> javaVm{nullptr};
std::atomic<jclass> interfaceClass{nullptr};
std::atomic<jclass> exceptionClass{nullptr};
std::atomic<DWORD> hookThreadId{0};

namespace {

constexpr char kVersion[] = "3.0";
constexpr DWORD kModuleNameCapacity = 2048;
constexpr std::size_t kAvailabilityPathCapacity = 2047;  // at most 2,046 characters

// Room for the longest coded message (4,095 characters) and what surrounds it.
constexpr std::size_t kThrowFailureCapacity = 8192;

// The line that stands for an exception that could not be thrown, after
// `prefix`: the words of a constructor failure, which end without a line end
// and so belong to the same line.
void writeThrowFailure(const char* operation, const char* message, const char* prefix = "")
{
    char line[kThrowFailureCapacity];
    std::snprintf(line, sizeof line, "%sOvWin32AccessInterface: failed to throw exception %s: %s\n", prefix, operation,
                  message);
    writeDiagnosticLine(stderr, line);
}

// Looks up one of the project's classes and keeps a global reference to it.
// A class that cannot be found is only reported on standard error: the
// library then works without it (no exceptions, or no callbacks). The VM
// leaves a NoClassDefFoundError pending in that case; it is cleared, because
// the lookups that follow are JNI calls that must not be made while an
// exception is pending, and because initialise itself has not failed.
void keepClass(JNIEnv* env, const char* path, std::atomic<jclass>& slot, const char* diagnostic)
{
    jclass found = env->FindClass(path);
    if (found == nullptr) {
        env->ExceptionClear();
        writeDiagnosticLine(stderr, diagnostic);
        return;
    }
    slot.store(static_cast<jclass>(env->NewGlobalRef(found)));
    env->DeleteLocalRef(found);
    if (slot.load() == nullptr) {
        env->ExceptionClear();
    }
}

}  // namespace

bool jstringToChars(JNIEnv* env, jstring text, wchar_t* destination, std::size_t capacity)
{
    if (text == nullptr) {
        destination[0] = L'\0';
        return true;
    }
    const jsize length = env->GetStringLength(text);
    if (length < 0 || !text::fits(static_cast<std::size_t>(length), capacity)) {
        throwAccessException(env, "jstringToChars", "jstring truncation occurred");
        return false;
    }
    // A region copy needs no release and cannot fail for a valid range; the
    // copy is terminated here because Java strings carry no terminator.
    env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(destination));
    destination[length] = L'\0';
    return true;
}

bool jstringToChars(JNIEnv* env, jstring text, char* destination, std::size_t capacity)
{
    if (text == nullptr) {
        destination[0] = '\0';
        return true;
    }
    const jsize length = env->GetStringLength(text);
    if (length < 0 || !text::fits(static_cast<std::size_t>(length), capacity)) {
        throwAccessException(env, "jstringToChars", "jstring truncation occurred");
        return false;
    }
    const jchar* units = env->GetStringChars(text, nullptr);
    if (units == nullptr) {
        return false;  // out of memory; the VM's exception is pending
    }
    for (jsize i = 0; i < length; ++i) {
        destination[i] = static_cast<char>(units[i] & 0xFF);
    }
    destination[length] = '\0';
    env->ReleaseStringChars(text, units);
    return true;
}

jstring newJavaString(JNIEnv* env, const wchar_t* text, std::size_t length)
{
    return env->NewString(reinterpret_cast<const jchar*>(text), static_cast<jsize>(length));
}

jstring newJavaString(JNIEnv* env, const wchar_t* text)
{
    return newJavaString(env, text, std::wcslen(text));
}

jstring newJavaString(JNIEnv* env, const char* bytes)
{
    return env->NewStringUTF(bytes);
}

void throwAccessException(JNIEnv* env, const char* operation, const char* message)
{
    const jclass exception = exceptionClass.load();
    if (exception == nullptr) {
        writeThrowFailure(operation, message);
        return;
    }
    const jmethodID constructor = env->GetMethodID(exception, "<init>", "(Ljava/lang/String;Ljava/lang/String;)V");
    if (constructor == nullptr) {
        // The VM's NoSuchMethodError stays pending: it is what Java sees.
        writeThrowFailure(operation, message, "OvWin32AccessInterface: failed to resolve constructor");
        return;
    }
    const jstring messageText = env->NewStringUTF(message);
    if (messageText == nullptr) {
        writeThrowFailure(operation, message);
        return;
    }
    const jstring operationText = env->NewStringUTF(operation);
    if (operationText == nullptr) {
        env->DeleteLocalRef(messageText);
        writeThrowFailure(operation, message);
        return;
    }
    const jobject thrown = env->NewObject(exception, constructor, operationText, messageText);
    env->DeleteLocalRef(operationText);
    env->DeleteLocalRef(messageText);
    if (thrown == nullptr) {
        writeThrowFailure(operation, message);
        return;
    }
    env->Throw(static_cast<jthrowable>(thrown));
    // The pending exception keeps the object alive without this reference.
    env->DeleteLocalRef(thrown);
}

void writeDiagnosticLine(std::FILE* stream, const char* line) noexcept
{
    _lock_file(stream);
    // Whatever other code left in the buffer goes first, so that the line
    // starts in an empty buffer and leaves in one write.
    std::fflush(stream);
    std::fputs(line, stream);
    std::fflush(stream);
    _unlock_file(stream);
}

void throwAccessExceptionWithCode(JNIEnv* env, const char* operation, const char* message, long code)
{
    char text[kMaxCodedMessageLength + 1];
    formatErrorCodeMessage(text, sizeof text, message, code);
    throwAccessException(env, operation, text);
}

namespace {

// --- process attach, initialise, destroy -------------------------------------

void attachProcess(HINSTANCE instance)
{
    libraryModule = instance;

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // the platform identifier is all that is wanted
#endif
    const BOOL known = GetVersionExA(&version);
    narrowMode = known && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;

    // Whether the class could be registered is not checked here: without it
    // the hook thread cannot create its window and says so.
    byNarrowMode(registerHookWindowClassA, registerHookWindowClassW)();
}

void initialiseLibrary(JNIEnv* env)
{
    JavaVM* vm = nullptr;
    if (env->GetJavaVM(&vm) == JNI_OK) {
        javaVm.store(vm);
    }
    keepClass(env, kInterfaceClassPath, interfaceClass, "failed to find OvWin32AccessInterface class\n");
    keepClass(env, kExceptionClassPath, exceptionClass, "failed to find OvWin32AccessExceptionImpl class\n");

    // The hook thread tells when its message queue exists. Until then a quit
    // message posted by destroy would be refused and the thread would never
    // end, so initialise waits for that moment (or for the thread's end).
    vantor::win::Handle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ready) {
        throwAccessException(env, "_beginthreadex", "initialisation failed");
        return;
    }
    unsigned threadId = 0;
    const uintptr_t started =
        _beginthreadex(nullptr, 0, byNarrowMode(hookThreadA, hookThreadW), ready.get(), 0, &threadId);
    if (started == 0) {
        throwAccessException(env, "_beginthreadex", "initialisation failed");
        return;
    }
    vantor::win::Handle thread(reinterpret_cast<HANDLE>(started));
    const HANDLE waitFor[] = {ready.get(), thread.get()};
    WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
    hookThreadId.store(threadId);
    // The thread handle is not kept: the thread is reached through its id.
}

void destroyLibrary()
{
    const DWORD thread = hookThreadId.load();
    if (thread != 0) {
        PostThreadMessageW(thread, WM_QUIT, 0, 0);
    }
}

// --- getVersion, getModuleName, testNativeAvailability -----------------------

jstring version(JNIEnv* env)
{
    return env->NewStringUTF(kVersion);
}

// The ANSI and the wide module functions under one set of names.
template <typename Char>
struct ModuleApi;

template <>
struct ModuleApi<wchar_t> {
    static DWORD fileName(wchar_t* out, DWORD capacity) { return GetModuleFileNameW(libraryModule, out, capacity); }
    static HMODULE loadAsData(const wchar_t* path)
    {
        return LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    // `text` is terminated at `length`.
    static jstring toJava(JNIEnv* env, const wchar_t* text, std::size_t length)
    {
        return newJavaString(env, text, length);
    }
};

template <>
struct ModuleApi<char> {
    static DWORD fileName(char* out, DWORD capacity) { return GetModuleFileNameA(libraryModule, out, capacity); }
    static HMODULE loadAsData(const char* path) { return LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE); }
    // `text` is terminated at `length`; the bytes go to Java as they are.
    static jstring toJava(JNIEnv* env, const char* text, std::size_t) { return newJavaString(env, text); }
};

// GetModuleFileName reports a path that does not fit by filling the whole
// buffer (and, on older systems, without a terminator); such a cut path
// would name another file, so it is a failure like any other.
template <typename Char>
jstring moduleName(JNIEnv* env)
{
    Char path[kModuleNameCapacity];
    const DWORD length = ModuleApi<Char>::fileName(path, kModuleNameCapacity);
    if (length == 0 || length >= kModuleNameCapacity) {
        throwAccessException(env, "getModuleName", "GetModuleFileName fails");
        return nullptr;
    }
    path[length] = Char();
    return ModuleApi<Char>::toJava(env, path, length);
}

// The file is mapped as data only: none of its code runs and none of its
// dependencies is loaded, so any file can be probed safely.
template <typename Char>
jboolean nativeAvailable(JNIEnv* env, jstring path)
{
    Char file[kAvailabilityPathCapacity];
    if (!jstringToChars(env, path, file, kAvailabilityPathCapacity)) {
        return JNI_FALSE;
    }
    vantor::win::Module module(ModuleApi<Char>::loadAsData(file));
    faultPoint("testNativeAvailability");
    return module ? JNI_TRUE : JNI_FALSE;
}

}  // namespace
}  // namespace vantor::access

using namespace vantor::access;

// Registration of the hook window class is all the loader waits for; the
// library loads whatever becomes of it.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    return vantor::guarded(
        [instance] {
            attachProcess(instance);
            return TRUE;
        },
        [](const char*) { return TRUE; });
}

// --- initialise, destroy -------------------------------------------------

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_initialise(JNIEnv* env, jclass)
{
    guardOperation(env, "initialise", [env] { initialiseLibrary(env); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_destroy(JNIEnv* env, jclass)
{
    guardOperation(env, "destroy", [] { destroyLibrary(); });
}

// --- getVersion ------------------------------------------------------------

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getVersion(JNIEnv* env, jclass)
{
    return guardOperation(env, "getVersion", nullptr, [env] { return version(env); });
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getVersionA(JNIEnv* env, jclass)
{
    return guardOperation(env, "getVersion", nullptr, [env] { return version(env); });
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getVersionW(JNIEnv* env, jclass)
{
    return guardOperation(env, "getVersion", nullptr, [env] { return version(env); });
}

// --- getModuleName ---------------------------------------------------------

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getModuleNameA(JNIEnv* env, jclass)
{
    return guardOperation(env, "getModuleName", nullptr, [env] { return moduleName<char>(env); });
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getModuleNameW(JNIEnv* env, jclass)
{
    return guardOperation(env, "getModuleName", nullptr, [env] { return moduleName<wchar_t>(env); });
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getModuleName(JNIEnv* env,
                                                                                               jclass clazz)
{
    return byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getModuleNameA,
                        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getModuleNameW)(env, clazz);
}

// --- testNativeAvailability ------------------------------------------------

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_testNativeAvailabilityA(JNIEnv* env,
                                                                                                          jclass,
                                                                                                          jstring path)
{
    return guardOperation(env, "testNativeAvailability", JNI_FALSE, [&] { return nativeAvailable<char>(env, path); });
}

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_testNativeAvailabilityW(JNIEnv* env,
                                                                                                          jclass,
                                                                                                          jstring path)
{
    return guardOperation(env, "testNativeAvailability", JNI_FALSE,
                          [&] { return nativeAvailable<wchar_t>(env, path); });
}

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_testNativeAvailability(JNIEnv* env,
                                                                                                         jclass clazz,
                                                                                                         jstring path)
{
    return byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_testNativeAvailabilityA,
                        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_testNativeAvailabilityW)(
        env, clazz, path);
}

// --- CVreg -------------------------------------------------------------------

CVreg::CVreg() = default;

CVreg& CVreg::operator=(const CVreg&)
{
    return *this;
}
