// Files, shell and processes: file attributes and version numbers, path forms, the recycle bin, access lists,
// processes, shell execution, named mutexes, the application-data folder and the computer name.
//
// The operations with a narrow and a wide form are one template over the
// character type, instantiated with the ANSI and the wide Windows functions.
// Each operation opens and closes its own handles, except createMutex, whose
// handles belong to the Java side from then on.
#include "common/text/bounded_copy.h"
#include "common/win/unique_handle.h"
#include "platform-access/core/file_results.h"
#include "platform-access/jni/boundary.h"
#include "platform-access/jni/exports.h"
#include "platform-access/jni/fault_point.h"
#include "platform-access/jni/frame.h"
#include "platform-access/jni/java_objects.h"

#include <shellapi.h>
#include <shlobj.h>
#include <winver.h>

#include <cstdint>
#include <memory>
#include <new>

namespace vantor::access {
namespace {

// Buffer capacities, terminator included (so the largest accepted length is
// one less).
constexpr std::size_t kAttributePathCapacity = 5192;  // getFileAttributes, setFileAttributes, getFileInfo
constexpr std::size_t kPathNameCapacity = 260;        // getShortPathName, getLongPathName
constexpr std::size_t kRecyclePathCapacity = 15999;   // moveToRecycleBin, before the second terminator
constexpr std::size_t kPermissionPathCapacity = 2047;
constexpr std::size_t kCommandLineCapacity = 16000;
constexpr std::size_t kVerbCapacity = 20;
constexpr std::size_t kShellPathCapacity = 5192;  // shellExecute's file and directory
constexpr std::size_t kShellParametersCapacity = 16000;
constexpr std::size_t kWaitedArgumentCapacity = 2048;  // shellExecuteAndWait's file and parameters
constexpr std::size_t kMutexNameCapacity = 256;
constexpr std::size_t kAppDataCapacity = 1024;

// moveToRecycleBin: allow undo (the recycle bin), no confirmation, no progress.
constexpr FILEOP_FLAGS kRecycleFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT;  // 0x54
// shellExecuteAndWait: keep the process handle, return once the start is complete.
constexpr ULONG kWaitedExecuteMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;  // 0x140

// The ANSI and the wide Windows functions under one set of names.
template <typename Char>
struct FileApi;

template <>
struct FileApi<wchar_t> {
    static constexpr char shellExecFailed[] = "ShellExecW failed";

    static DWORD attributes(const wchar_t* path) { return GetFileAttributesW(path); }
    static BOOL setAttributes(const wchar_t* path, DWORD attributes) { return SetFileAttributesW(path, attributes); }
    static DWORD shortPath(const wchar_t* path, wchar_t* out, DWORD capacity)
    {
        return GetShortPathNameW(path, out, capacity);
    }
    static DWORD longPath(const wchar_t* path, wchar_t* out, DWORD capacity)
    {
        return GetLongPathNameW(path, out, capacity);
    }
    static HANDLE openForReading(const wchar_t* path)
    {
        return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    // `paths` ends in two terminators.
    static int deleteToRecycleBin(const wchar_t* paths, BOOL& aborted)
    {
        SHFILEOPSTRUCTW operation{};
        operation.hwnd = nullptr;
        operation.wFunc = FO_DELETE;
        operation.pFrom = paths;
        operation.fFlags = kRecycleFlags;
        const int result = SHFileOperationW(&operation);
        aborted = operation.fAnyOperationsAborted;
        return result;
    }
    static BOOL getSecurity(const wchar_t* path, void* descriptor, DWORD size, DWORD* needed)
    {
        return GetFileSecurityW(path, DACL_SECURITY_INFORMATION, descriptor, size, needed);
    }
    static BOOL setSecurity(const wchar_t* path, void* descriptor)
    {
        return SetFileSecurityW(path, DACL_SECURITY_INFORMATION, descriptor);
    }
    static BOOL createProcess(wchar_t* commandLine, BOOL inheritHandles, PROCESS_INFORMATION& started)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;  // 104 bytes
        return CreateProcessW(nullptr, commandLine, nullptr, nullptr, inheritHandles, DETACHED_PROCESS, nullptr,
                              nullptr, &startup, &started);
    }
    static HINSTANCE shellExecute(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                                  const wchar_t* directory, int showCommand)
    {
        return ShellExecuteW(nullptr, verb, file, parameters, directory, showCommand);
    }
    static BOOL executeElevated(const wchar_t* file, const wchar_t* parameters, HINSTANCE& result, HANDLE& process)
    {
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = kWaitedExecuteMask;
        info.hwnd = nullptr;
        info.lpVerb = L"runas";
        info.lpFile = file;
        info.lpParameters = parameters;
        info.lpDirectory = nullptr;
        info.nShow = SW_SHOWNORMAL;
        const BOOL started = ShellExecuteExW(&info);
        result = info.hInstApp;
        process = info.hProcess;
        return started;
    }
    static HRESULT appData(wchar_t* out) { return SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, out); }
    static jstring toJava(JNIEnv* env, const wchar_t* text, std::size_t length)
    {
        return newJavaString(env, text, length);
    }
    static jstring pathError(JNIEnv* env, DWORD code)
    {
        const std::wstring text = pathErrorText(code);
        return newJavaString(env, text.data(), text.size());
    }
};

template <>
struct FileApi<char> {
    static constexpr char shellExecFailed[] = "ShellExecA failed";

    static DWORD attributes(const char* path) { return GetFileAttributesA(path); }
    static BOOL setAttributes(const char* path, DWORD attributes) { return SetFileAttributesA(path, attributes); }
    static DWORD shortPath(const char* path, char* out, DWORD capacity)
    {
        return GetShortPathNameA(path, out, capacity);
    }
    static DWORD longPath(const char* path, char* out, DWORD capacity)
    {
        return GetLongPathNameA(path, out, capacity);
    }
    static HANDLE openForReading(const char* path)
    {
        return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    static int deleteToRecycleBin(const char* paths, BOOL& aborted)
    {
        SHFILEOPSTRUCTA operation{};
        operation.hwnd = nullptr;
        operation.wFunc = FO_DELETE;
        operation.pFrom = paths;
        operation.fFlags = kRecycleFlags;
        const int result = SHFileOperationA(&operation);
        aborted = operation.fAnyOperationsAborted;
        return result;
    }
    static BOOL getSecurity(const char* path, void* descriptor, DWORD size, DWORD* needed)
    {
        return GetFileSecurityA(path, DACL_SECURITY_INFORMATION, descriptor, size, needed);
    }
    static BOOL setSecurity(const char* path, void* descriptor)
    {
        return SetFileSecurityA(path, DACL_SECURITY_INFORMATION, descriptor);
    }
    static BOOL createProcess(char* commandLine, BOOL inheritHandles, PROCESS_INFORMATION& started)
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;  // 104 bytes
        return CreateProcessA(nullptr, commandLine, nullptr, nullptr, inheritHandles, DETACHED_PROCESS, nullptr,
                              nullptr, &startup, &started);
    }
    static HINSTANCE shellExecute(const char* verb, const char* file, const char* parameters, const char* directory,
                                  int showCommand)
    {
        return ShellExecuteA(nullptr, verb, file, parameters, directory, showCommand);
    }
    static BOOL executeElevated(const char* file, const char* parameters, HINSTANCE& result, HANDLE& process)
    {
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = kWaitedExecuteMask;
        info.hwnd = nullptr;
        info.lpVerb = "runas";
        info.lpFile = file;
        info.lpParameters = parameters;
        info.lpDirectory = nullptr;
        info.nShow = SW_SHOWNORMAL;
        const BOOL started = ShellExecuteExA(&info);
        result = info.hInstApp;
        process = info.hProcess;
        return started;
    }
    static HRESULT appData(char* out) { return SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, out); }
    // The bytes go to Java as they are.
    static jstring toJava(JNIEnv* env, const char* text, std::size_t) { return newJavaString(env, text); }
    static jstring pathError(JNIEnv* env, DWORD code) { return newJavaString(env, pathErrorBytes(code).c_str()); }
};

// --- attributes --------------------------------------------------------------

template <typename Char>
jint fileAttributes(JNIEnv* env, jstring path)
{
    Char file[kAttributePathCapacity];
    if (!jstringToChars(env, path, file, kAttributePathCapacity)) {
        return -1;
    }
    return static_cast<jint>(FileApi<Char>::attributes(file));
}

template <typename Char>
jboolean setFileAttributes(JNIEnv* env, jstring path, jint attributes)
{
    Char file[kAttributePathCapacity];
    if (!jstringToChars(env, path, file, kAttributePathCapacity)) {
        return JNI_FALSE;
    }
    return FileApi<Char>::setAttributes(file, static_cast<DWORD>(attributes)) ? JNI_TRUE : JNI_FALSE;
}

// --- version numbers ---------------------------------------------------------

// The product version of a file's version resource; false when the file has
// none or it cannot be read.
bool readProductVersion(const wchar_t* file, DWORD& mostSignificant, DWORD& leastSignificant)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    if (size == 0) {
        return false;
    }
    const std::unique_ptr<unsigned char[]> resource(new (std::nothrow) unsigned char[size]);
    if (!resource || !GetFileVersionInfoW(file, 0, size, resource.get())) {
        return false;
    }
    void* root = nullptr;
    UINT rootLength = 0;
    if (!VerQueryValueW(resource.get(), L"\\", &root, &rootLength) || root == nullptr ||
        rootLength < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(root);
    mostSignificant = fixed->dwProductVersionMS;
    leastSignificant = fixed->dwProductVersionLS;
    return true;
}

// --- path forms --------------------------------------------------------------

// Converts a path with GetShortPathName or GetLongPathName: asks for the
// length, then converts into a buffer of that length. A failed conversion is
// "Error:" and the Windows error code, not an exception.
template <typename Char, typename Convert>
jstring convertedPath(JNIEnv* env, jstring path, Convert convert)
{
    using Api = FileApi<Char>;
    Char source[kPathNameCapacity];
    if (!jstringToChars(env, path, source, kPathNameCapacity)) {
        return nullptr;
    }
    DWORD needed = convert(source, nullptr, 0);
    if (needed == 0) {
        const DWORD error = GetLastError();
        return Api::pathError(env, error);
    }
    // A file renamed between the two calls may need a longer buffer than was
    // asked for; the conversion then reports the new length instead of
    // failing, and is repeated a few times before it counts as failed.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::unique_ptr<Char[]> converted(new (std::nothrow) Char[needed]);
        if (!converted) {
            return Api::pathError(env, ERROR_NOT_ENOUGH_MEMORY);
        }
        const DWORD length = convert(source, converted.get(), needed);
        if (length == 0) {
            const DWORD error = GetLastError();
            return Api::pathError(env, error);
        }
        if (length < needed) {
            converted[length] = Char();
            return Api::toJava(env, converted.get(), length);
        }
        needed = length;
    }
    return Api::pathError(env, ERROR_INSUFFICIENT_BUFFER);
}

template <typename Char>
jstring longPathName(JNIEnv* env, jstring path)
{
    return convertedPath<Char>(env, path, FileApi<Char>::longPath);
}

template <typename Char>
jstring shortPathName(JNIEnv* env, jstring path)
{
    return convertedPath<Char>(env, path, FileApi<Char>::shortPath);
}

// --- recycle bin -------------------------------------------------------------

template <typename Char>
void moveToRecycleBin(JNIEnv* env, jstring path)
{
    using Api = FileApi<Char>;
    // One unit more than the conversion may fill, for the second terminator
    // that ends the shell's list of paths.
    Char paths[kRecyclePathCapacity + 1];
    if (!jstringToChars(env, path, paths, kRecyclePathCapacity)) {
        return;
    }
    const std::size_t length = text::boundedLength(paths, kRecyclePathCapacity);
    paths[length + 1] = Char();

    // Only an existing file that others do not hold exclusively goes to the
    // recycle bin. This also keeps out what the shell would read as several
    // files (wildcards) and folders with all their content.
    win::Handle file(Api::openForReading(paths));
    if (!file) {
        throwAccessException(env, "moveToRecycleBin", "file not found");
        return;
    }
    file.reset();

    BOOL aborted = FALSE;
    const int result = Api::deleteToRecycleBin(paths, aborted);
    // An operation that was aborted has not moved the file, even when the
    // shell reports no error.
    if (result != 0 || aborted) {
        throwAccessException(env, "moveToRecycleBin", "SHFileOperation failed");
    }
}

// --- access lists ------------------------------------------------------------

template <typename Char>
void copyPermission(JNIEnv* env, jstring fromPath, jstring toPath)
{
    using Api = FileApi<Char>;
    Char from[kPermissionPathCapacity];
    Char to[kPermissionPathCapacity];
    if (!jstringToChars(env, fromPath, from, kPermissionPathCapacity) ||
        !jstringToChars(env, toPath, to, kPermissionPathCapacity)) {
        return;
    }

    DWORD needed = 0;
    if (Api::getSecurity(from, nullptr, 0, &needed)) {
        throwAccessException(env, "copyPermission", "GetFileSecurity ok");
        return;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
        throwAccessException(env, "copyPermission", "from file not found");
        return;
    }
    if (error != ERROR_INSUFFICIENT_BUFFER) {
        throwAccessExceptionWithCode(env, "copyPermission", "GetFileSecurity unexpected response",
                                     static_cast<long>(error));
        return;
    }

    win::HeapMemory descriptor(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
    if (!descriptor) {
        throwAccessException(env, "copyPermission", "no memory");
        return;
    }
    if (!Api::getSecurity(from, descriptor.get(), needed, &needed)) {
        error = GetLastError();
        throwAccessExceptionWithCode(env, "copyPermission", "GetFileSecurity", static_cast<long>(error));
        return;
    }
    if (!Api::setSecurity(to, descriptor.get())) {
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            throwAccessException(env, "copyPermission", "to file not found");
        } else {
            throwAccessExceptionWithCode(env, "copyPermission", "SetFileSecurity unexpected response",
                                         static_cast<long>(error));
        }
    }
}

// --- processes and the shell -------------------------------------------------

template <typename Char>
void createProcess(JNIEnv* env, jstring commandLine, jboolean inheritHandles)
{
    // CreateProcess may write into the command line, so it gets this copy.
    Char command[kCommandLineCapacity];
    if (!jstringToChars(env, commandLine, command, kCommandLineCapacity)) {
        return;
    }
    PROCESS_INFORMATION started{};
    if (!FileApi<Char>::createProcess(command, inheritHandles ? TRUE : FALSE, started)) {
        throwAccessException(env, "createProcess", "CreateProcess failed");
        return;
    }
    // Closes both handles at once: the process runs on by itself.
    win::ProcessInformation::adopt(started);
}

// Converts an optional argument: a Java null stays a missing argument (null)
// rather than an empty text. False when the conversion fails.
template <typename Char>
bool optionalArgument(JNIEnv* env, jstring text, Char* buffer, std::size_t capacity, const Char*& argument)
{
    argument = nullptr;
    if (text == nullptr) {
        return true;
    }
    if (!jstringToChars(env, text, buffer, capacity)) {
        return false;
    }
    argument = buffer;
    return true;
}

template <typename Char>
jint shellExecute(JNIEnv* env, jstring verb, jstring file, jstring parameters, jstring directory, jint showCommand)
{
    Char verbText[kVerbCapacity];
    Char fileText[kShellPathCapacity];
    Char parametersText[kShellParametersCapacity];
    Char directoryText[kShellPathCapacity];
    const Char* verbArgument;
    const Char* fileArgument;
    const Char* parametersArgument;
    const Char* directoryArgument;
    if (!optionalArgument(env, verb, verbText, kVerbCapacity, verbArgument) ||
        !optionalArgument(env, file, fileText, kShellPathCapacity, fileArgument) ||
        !optionalArgument(env, parameters, parametersText, kShellParametersCapacity, parametersArgument) ||
        !optionalArgument(env, directory, directoryText, kShellPathCapacity, directoryArgument)) {
        return -1;
    }
    const HINSTANCE result =
        FileApi<Char>::shellExecute(verbArgument, fileArgument, parametersArgument, directoryArgument, showCommand);
    return static_cast<jint>(reinterpret_cast<INT_PTR>(result));
}

template <typename Char>
jint shellExecuteAndWait(JNIEnv* env, jstring file, jstring parameters)
{
    using Api = FileApi<Char>;
    Char fileText[kWaitedArgumentCapacity];
    Char parametersText[kWaitedArgumentCapacity];
    if (!jstringToChars(env, file, fileText, kWaitedArgumentCapacity) ||
        !jstringToChars(env, parameters, parametersText, kWaitedArgumentCapacity)) {
        return 0;
    }
    HINSTANCE result = nullptr;
    HANDLE started = nullptr;
    const BOOL done = Api::executeElevated(fileText, parametersText, result, started);
    win::Handle process(started);
    const auto startResult = reinterpret_cast<INT_PTR>(result);
    // A refused elevation ends here. The shell's own result code says why; a
    // start it reports as failed counts as failed whatever that code is.
    if (!done || startResult <= 32) {
        throwAccessExceptionWithCode(env, "shellExec", Api::shellExecFailed, static_cast<long>(startResult));
        return 0;
    }
    WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.get(), &exitCode)) {
        const DWORD error = GetLastError();
        throwAccessExceptionWithCode(env, "shellExec", "GetExitCodeProcess failed", static_cast<long>(error));
        return 0;
    }
    return static_cast<jint>(exitCode);
}

template <typename Char>
jstring userAppData(JNIEnv* env)
{
    Char path[kAppDataCapacity] = {};
    // S_FALSE: the folder does not exist (yet), but its path is known.
    const HRESULT result = FileApi<Char>::appData(path);
    if (FAILED(result)) {
        return nullptr;
    }
    const std::size_t length = text::boundedLength(path, kAppDataCapacity - 1);
    if (length == 0) {
        return nullptr;
    }
    path[length] = Char();
    return FileApi<Char>::toJava(env, path, length);
}

}  // namespace
}  // namespace vantor::access

using namespace vantor::access;

// --- attributes, version numbers and path forms --------------------------------

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getFileAttributes(JNIEnv* env, jclass,
                                                                                                jstring path)
{
    return guardOperation(env, "getFileAttributes", -1,
                          [&] { return byNarrowMode(fileAttributes<char>, fileAttributes<wchar_t>)(env, path); });
}

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_setFileAttributes(JNIEnv* env, jclass,
                                                                                                    jstring path,
                                                                                                    jint attributes)
{
    return guardOperation(env, "setFileAttributes", JNI_FALSE, [&] {
        return byNarrowMode(setFileAttributes<char>, setFileAttributes<wchar_t>)(env, path, attributes);
    });
}

jobject JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getFileInfo(JNIEnv* env, jclass,
                                                                                             jstring path)
{
    return guardOperation(env, "getFileInfo", nullptr, [&] {
        JavaMap map(env, JavaMap::Numbers::Integer);
        if (!map.ready()) {
            return map.take();
        }
        wchar_t file[kAttributePathCapacity];
        if (!jstringToChars(env, path, file, kAttributePathCapacity)) {
            return map.take();
        }
        faultPoint("getFileInfo");
        // A file without a version resource (or no file at all) gives the
        // empty map, and no exception.
        DWORD mostSignificant = 0;
        DWORD leastSignificant = 0;
        if (readProductVersion(file, mostSignificant, leastSignificant)) {
            for (const VersionNumber& number : productVersionNumbers(mostSignificant, leastSignificant)) {
                if (!map.putNumber(number.key, number.value)) {
                    break;
                }
            }
        }
        return map.take();
    });
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getLongPathName(JNIEnv* env, jclass,
                                                                                                 jstring path)
{
    return guardOperation(env, "getLongPathName", nullptr,
                          [&] { return byNarrowMode(longPathName<char>, longPathName<wchar_t>)(env, path); });
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getShortPathName(JNIEnv* env, jclass,
                                                                                                  jstring path)
{
    return guardOperation(env, "getShortPathName", nullptr,
                          [&] { return byNarrowMode(shortPathName<char>, shortPathName<wchar_t>)(env, path); });
}

// --- recycle bin and access lists ------------------------------------------------

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBinA(JNIEnv* env, jclass,
                                                                                                jstring path)
{
    guardOperation(env, "moveToRecycleBin", [&] { moveToRecycleBin<char>(env, path); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBinW(JNIEnv* env, jclass,
                                                                                                jstring path)
{
    guardOperation(env, "moveToRecycleBin", [&] { moveToRecycleBin<wchar_t>(env, path); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBin(JNIEnv* env,
                                                                                               jclass clazz,
                                                                                               jstring path)
{
    byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBinA,
                 Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBinW)(env, clazz, path);
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermissionA(JNIEnv* env, jclass,
                                                                                              jstring fromPath,
                                                                                              jstring toPath)
{
    guardOperation(env, "copyPermission", [&] { copyPermission<char>(env, fromPath, toPath); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermissionW(JNIEnv* env, jclass,
                                                                                              jstring fromPath,
                                                                                              jstring toPath)
{
    guardOperation(env, "copyPermission", [&] { copyPermission<wchar_t>(env, fromPath, toPath); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermission(JNIEnv* env, jclass clazz,
                                                                                             jstring fromPath,
                                                                                             jstring toPath)
{
    byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermissionA,
                 Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermissionW)(env, clazz, fromPath,
                                                                                                   toPath);
}

// --- processes and the shell ---------------------------------------------------------

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcessA(JNIEnv* env, jclass,
                                                                                             jstring commandLine,
                                                                                             jboolean inheritHandles)
{
    guardOperation(env, "createProcess", [&] { createProcess<char>(env, commandLine, inheritHandles); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcessW(JNIEnv* env, jclass,
                                                                                             jstring commandLine,
                                                                                             jboolean inheritHandles)
{
    guardOperation(env, "createProcess", [&] { createProcess<wchar_t>(env, commandLine, inheritHandles); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcess(JNIEnv* env, jclass clazz,
                                                                                            jstring commandLine,
                                                                                            jboolean inheritHandles)
{
    byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcessA,
                 Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcessW)(
        env, clazz, commandLine, inheritHandles);
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteA(
    JNIEnv* env, jclass, jstring verb, jstring file, jstring parameters, jstring directory, jint showCommand)
{
    return guardOperation(env, "shellExecute", -1,
                          [&] { return shellExecute<char>(env, verb, file, parameters, directory, showCommand); });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteW(
    JNIEnv* env, jclass, jstring verb, jstring file, jstring parameters, jstring directory, jint showCommand)
{
    return guardOperation(env, "shellExecute", -1,
                          [&] { return shellExecute<wchar_t>(env, verb, file, parameters, directory, showCommand); });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecute(
    JNIEnv* env, jclass clazz, jstring verb, jstring file, jstring parameters, jstring directory, jint showCommand)
{
    return byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteA,
                        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteW)(
        env, clazz, verb, file, parameters, directory, showCommand);
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecAndWaitA(JNIEnv* env, jclass,
                                                                                                jstring file,
                                                                                                jstring parameters)
{
    return guardOperation(env, "shellExecuteAndWait", 0,
                          [&] { return shellExecuteAndWait<char>(env, file, parameters); });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecAndWaitW(JNIEnv* env, jclass,
                                                                                                jstring file,
                                                                                                jstring parameters)
{
    return guardOperation(env, "shellExecuteAndWait", 0,
                          [&] { return shellExecuteAndWait<wchar_t>(env, file, parameters); });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteAndWait(JNIEnv* env,
                                                                                                  jclass clazz,
                                                                                                  jstring file,
                                                                                                  jstring parameters)
{
    return byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecAndWaitA,
                        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecAndWaitW)(
        env, clazz, file, parameters);
}

// The Java side holds process handles as ints; a handle value is sign-extended
// back to the handle width (so -1 is the calling process).
jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getProcessId(JNIEnv* env, jclass,
                                                                                           jint processHandle)
{
    return guardOperation(env, "getProcessId", 0, [processHandle] {
        const auto process = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(processHandle));
        return static_cast<jint>(GetProcessId(process));
    });
}

// A single-instance check: the first process to create the name gets the
// handle, a later one 0. The later one's handle is deliberately left open,
// so that the mutex lives on while this process runs even if its first
// owner ends. The library never closes the handles it returns.
jlong JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createMutex(JNIEnv* env, jclass,
                                                                                           jstring name)
{
    return guardOperation(env, "createMutex", 0, [&]() -> jlong {
        wchar_t mutexName[kMutexNameCapacity];
        if (!jstringToChars(env, name, mutexName, kMutexNameCapacity)) {
            return 0;
        }
        const HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName);
        const DWORD error = GetLastError();
        if (mutex == nullptr || error == ERROR_ALREADY_EXISTS) {
            return 0;
        }
        return static_cast<jlong>(reinterpret_cast<INT_PTR>(mutex));
    });
}

// --- folders and names -------------------------------------------------------------

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getUserAppData(JNIEnv* env, jclass)
{
    return guardOperation(env, "getUserAppData", nullptr,
                          [env] { return byNarrowMode(userAppData<char>, userAppData<wchar_t>)(env); });
}

// Null when the name cannot be read: there is no name to give, and the
// operation reports failures through its result.
jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getComputerName(JNIEnv* env, jclass)
{
    return guardOperation(env, "getComputerName", nullptr, [env]() -> jstring {
        wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
        DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
        if (!GetComputerNameW(name, &length) || length > MAX_COMPUTERNAME_LENGTH) {
            return nullptr;
        }
        return newJavaString(env, name, length);
    });
}
