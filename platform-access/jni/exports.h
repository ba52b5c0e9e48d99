// Every export of vreg64, declared once.
//
// The Java class ru.vantor.platform.win32.access.impl.OvWin32AccessInterface
// declares its methods as static natives; the JVM binds each of them to the
// export named after the method's JNI short name, so these names and
// parameter lists are the library's contract with the Java side. Each
// family's source file includes this header, and the binding test compiles it
// together with the header that `javac -h` generates from the Java class, so
// a declaration that drifts from the Java method fails to compile.
//
// The operations that have a narrow (ANSI) and a wide (UTF-16) form also
// export both forms with C++ linkage and the suffix A or W. The library
// itself calls them only through its entry points, which choose one by
// `narrowMode` (byNarrowMode, frame.h); they are exported for callers that
// bound them by their decorated names.
//
// Every one of these functions is a boundary that no C++ exception may cross:
// each runs its operation through guardOperation (boundary.h), or calls a
// function that does.
#pragma once

#include <jni.h>

// C-linkage entry points, one per native method (the comment gives the Java
// declaration; the second parameter is the class, as for every static native).
extern "C" {

// Library frame.
// static native void initialise()
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_initialise(JNIEnv* env,
                                                                                                   jclass clazz);
// static native void destroy()
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_destroy(JNIEnv* env,
                                                                                                jclass clazz);
// static native String getVersion()
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getVersion(JNIEnv* env,
                                                                                                      jclass clazz);
// static native String getModuleName()
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getModuleName(JNIEnv* env,
                                                                                                         jclass clazz);
// static native boolean testNativeAvailability(String path)
JNIEXPORT jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_testNativeAvailability(
    JNIEnv* env, jclass clazz, jstring path);

// Registry access.
// static native String readStringValue(int root, String subKey, String valueName)
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readStringValue(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName);
// static native int readWordValue(int root, String subKey, String valueName)
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readWordValue(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName);
// static native void writeStringValue(int root, String subKey, String valueName, String value)
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeStringValue(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName, jstring value);
// static native void writeWordValue(int root, String subKey, String valueName, int value)
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeWordValue(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName, jint value);
// static native void deleteKey(int root, String subKey, boolean withSubKeys)
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteKey(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jboolean withSubKeys);
// static native void deleteValue(int root, String subKey, String valueName)
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteValue(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName);
// static native String[] getRegSubKeys(int root, String subKey)
JNIEXPORT jobjectArray JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getRegSubKeys(
    JNIEnv* env, jclass clazz, jint root, jstring subKey);
// static native Object[] getRegKeyValues(int root, String subKey)
JNIEXPORT jobjectArray JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getRegKeyValues(
    JNIEnv* env, jclass clazz, jint root, jstring subKey);

// Files, shell and processes.
// static native int getFileAttributes(String path)
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getFileAttributes(JNIEnv* env,
                                                                                                          jclass clazz,
                                                                                                          jstring path);
// static native boolean setFileAttributes(String path, int attributes)
JNIEXPORT jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_setFileAttributes(
    JNIEnv* env, jclass clazz, jstring path, jint attributes);
// static native java.util.HashMap getFileInfo(String path)
JNIEXPORT jobject JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getFileInfo(JNIEnv* env,
                                                                                                       jclass clazz,
                                                                                                       jstring path);
// static native String getLongPathName(String path)
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getLongPathName(
    JNIEnv* env, jclass clazz, jstring path);
// static native String getShortPathName(String path)
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getShortPathName(
    JNIEnv* env, jclass clazz, jstring path);
// static native void moveToRecycleBin(String path)
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBin(JNIEnv* env,
                                                                                                         jclass clazz,
                                                                                                         jstring path);
// static native void copyPermission(String fromPath, String toPath)
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermission(JNIEnv* env,
                                                                                                       jclass clazz,
                                                                                                       jstring fromPath,
                                                                                                       jstring toPath);
// static native void createProcess(String commandLine, boolean inheritHandles)
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcess(
    JNIEnv* env, jclass clazz, jstring commandLine, jboolean inheritHandles);
// static native int shellExecute(String verb, String file, String parameters, String directory, int showCommand)
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecute(
    JNIEnv* env, jclass clazz, jstring verb, jstring file, jstring parameters, jstring directory, jint showCommand);
// static native int shellExecuteAndWait(String file, String parameters)
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteAndWait(
    JNIEnv* env, jclass clazz, jstring file, jstring parameters);
// static native int getProcessId(int processHandle)
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getProcessId(
    JNIEnv* env, jclass clazz, jint processHandle);
// static native long createMutex(String name)
JNIEXPORT jlong JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createMutex(JNIEnv* env,
                                                                                                     jclass clazz,
                                                                                                     jstring name);
// static native String getUserAppData()
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getUserAppData(JNIEnv* env,
                                                                                                          jclass clazz);
// static native String getComputerName()
JNIEXPORT jstring JNICALL
Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getComputerName(JNIEnv* env, jclass clazz);

// Drives and devices.
// static native java.util.ArrayList getAvailableDrives()
JNIEXPORT jobject JNICALL
Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getAvailableDrives(JNIEnv* env, jclass clazz);
// static native java.util.HashMap getDriveInfo(char driveLetter)
JNIEXPORT jobject JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getDriveInfo(
    JNIEnv* env, jclass clazz, jchar driveLetter);

// Network probes.
// static native void traceRoute(int probeId, int sourceAddress, int destinationAddress, int mode, Object listener)
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_traceRoute(
    JNIEnv* env, jclass clazz, jint probeId, jint sourceAddress, jint destinationAddress, jint mode, jobject listener);
// static native long startBroadcast(int processId, String text)
JNIEXPORT jlong JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_startBroadcast(JNIEnv* env,
                                                                                                        jclass clazz,
                                                                                                        jint processId,
                                                                                                        jstring text);

// Window hook, tray icon, power and OS version.
// static native boolean shellNotifyIcon(int message, int window, int flags, int callbackMessage, int icon, String tip,
// int state, int stateMask, String info, String infoTitle, int infoFlags, int guidFirstField)
JNIEXPORT jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellNotifyIcon(
    JNIEnv* env, jclass clazz, jint message, jint window, jint flags, jint callbackMessage, jint icon, jstring tip,
    jint state, jint stateMask, jstring info, jstring infoTitle, jint infoFlags, jint guidFirstField);
// static native int setThreadExecutionState(int flags)
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_setThreadExecutionState(
    JNIEnv* env, jclass clazz, jint flags);
// static native int enableScreenSaver()
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_enableScreenSaver(JNIEnv* env,
                                                                                                          jclass clazz);
// static native int disableScreenSaver()
JNIEXPORT jint JNICALL
Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_disableScreenSaver(JNIEnv* env, jclass clazz);
// static native long disableScreenSaver2()
JNIEXPORT jlong JNICALL
Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_disableScreenSaver2(JNIEnv* env, jclass clazz);
// static native void SHChangeNotify()
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_SHChangeNotify(JNIEnv* env,
                                                                                                       jclass clazz);
// static native boolean isWin7OrLater()
JNIEXPORT jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_isWin7OrLater(JNIEnv* env,
                                                                                                          jclass clazz);
// static native boolean isCorrectOSVersion(String name)
JNIEXPORT jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_isCorrectOSVersion(
    JNIEnv* env, jclass clazz, jstring name);
}  // extern "C"

// C++-linkage narrow (A) and wide (W) implementations. They take the same
// parameters as their entry point. The entry point of getModuleName is also
// exported under its C++ decorated name (see vreg64_gnu.def and
// vreg64_msvc.def).

// Library frame.
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getVersionA(JNIEnv* env,
                                                                                                       jclass clazz);
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getVersionW(JNIEnv* env,
                                                                                                       jclass clazz);
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getModuleNameA(JNIEnv* env,
                                                                                                          jclass clazz);
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getModuleNameW(JNIEnv* env,
                                                                                                          jclass clazz);
JNIEXPORT jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_testNativeAvailabilityA(
    JNIEnv* env, jclass clazz, jstring path);
JNIEXPORT jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_testNativeAvailabilityW(
    JNIEnv* env, jclass clazz, jstring path);

// Registry access.
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readStringValueA(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName);
JNIEXPORT jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readStringValueW(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName);
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readWordValueA(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName);
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readWordValueW(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeStringValueA(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName, jstring value);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeStringValueW(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName, jstring value);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeWordValueA(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName, jint value);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeWordValueW(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName, jint value);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteKeyA(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jboolean withSubKeys);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteKeyW(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jboolean withSubKeys);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteValueA(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteValueW(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName);

// Files, shell and processes.
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBinA(JNIEnv* env,
                                                                                                          jclass clazz,
                                                                                                          jstring path);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBinW(JNIEnv* env,
                                                                                                          jclass clazz,
                                                                                                          jstring path);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermissionA(
    JNIEnv* env, jclass clazz, jstring fromPath, jstring toPath);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermissionW(
    JNIEnv* env, jclass clazz, jstring fromPath, jstring toPath);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcessA(
    JNIEnv* env, jclass clazz, jstring commandLine, jboolean inheritHandles);
JNIEXPORT void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcessW(
    JNIEnv* env, jclass clazz, jstring commandLine, jboolean inheritHandles);
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteA(
    JNIEnv* env, jclass clazz, jstring verb, jstring file, jstring parameters, jstring directory, jint showCommand);
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteW(
    JNIEnv* env, jclass clazz, jstring verb, jstring file, jstring parameters, jstring directory, jint showCommand);
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecAndWaitA(
    JNIEnv* env, jclass clazz, jstring file, jstring parameters);
JNIEXPORT jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecAndWaitW(
    JNIEnv* env, jclass clazz, jstring file, jstring parameters);

// Drives and devices.

// Network probes.

// Window hook, tray icon, power and OS version.

// An exported class without data that nothing in the library uses; it is
// kept because outside code may have been linked against its two members.
class JNIEXPORT CVreg {
public:
    CVreg();
    CVreg& operator=(const CVreg& other);
};
