// Files, shell and processes: file attributes and version numbers, path forms, the recycle bin, access lists,
// processes, shell execution, named mutexes, the application-data folder and the computer name.
//
// Exported so that the Java class binds completely; until the operations of
// this family are built into the library, each one throws
// (<method>, "not implemented") and returns its neutral result, so that no
// caller mistakes it for a success.
#include "exports.h"
#include "frame.h"

using namespace vantor::access;

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getFileAttributes(JNIEnv* env, jclass,
                                                                                                jstring)
{
    throwNotImplemented(env, "getFileAttributes");
    return -1;
}

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_setFileAttributes(JNIEnv* env, jclass,
                                                                                                    jstring, jint)
{
    throwNotImplemented(env, "setFileAttributes");
    return JNI_FALSE;
}

jobject JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getFileInfo(JNIEnv* env, jclass,
                                                                                             jstring)
{
    throwNotImplemented(env, "getFileInfo");
    return nullptr;
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getLongPathName(JNIEnv* env, jclass,
                                                                                                 jstring)
{
    throwNotImplemented(env, "getLongPathName");
    return nullptr;
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getShortPathName(JNIEnv* env, jclass,
                                                                                                  jstring)
{
    throwNotImplemented(env, "getShortPathName");
    return nullptr;
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBinA(JNIEnv* env, jclass,
                                                                                                jstring)
{
    throwNotImplemented(env, "moveToRecycleBin");
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBinW(JNIEnv* env, jclass,
                                                                                                jstring)
{
    throwNotImplemented(env, "moveToRecycleBin");
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBin(JNIEnv* env,
                                                                                               jclass clazz,
                                                                                               jstring path)
{
    if (narrowMode) {
        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBinA(env, clazz, path);
    } else {
        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_moveToRecycleBinW(env, clazz, path);
    }
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermissionA(JNIEnv* env, jclass,
                                                                                              jstring, jstring)
{
    throwNotImplemented(env, "copyPermission");
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermissionW(JNIEnv* env, jclass,
                                                                                              jstring, jstring)
{
    throwNotImplemented(env, "copyPermission");
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermission(JNIEnv* env, jclass clazz,
                                                                                             jstring fromPath,
                                                                                             jstring toPath)
{
    if (narrowMode) {
        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermissionA(env, clazz, fromPath, toPath);
    } else {
        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_copyPermissionW(env, clazz, fromPath, toPath);
    }
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcessA(JNIEnv* env, jclass,
                                                                                             jstring, jboolean)
{
    throwNotImplemented(env, "createProcess");
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcessW(JNIEnv* env, jclass,
                                                                                             jstring, jboolean)
{
    throwNotImplemented(env, "createProcess");
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcess(JNIEnv* env, jclass clazz,
                                                                                            jstring commandLine,
                                                                                            jboolean inheritHandles)
{
    if (narrowMode) {
        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcessA(env, clazz, commandLine,
                                                                                        inheritHandles);
    } else {
        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createProcessW(env, clazz, commandLine,
                                                                                        inheritHandles);
    }
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteA(JNIEnv* env, jclass,
                                                                                            jstring, jstring, jstring,
                                                                                            jstring, jint)
{
    throwNotImplemented(env, "shellExecute");
    return -1;
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteW(JNIEnv* env, jclass,
                                                                                            jstring, jstring, jstring,
                                                                                            jstring, jint)
{
    throwNotImplemented(env, "shellExecute");
    return -1;
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecute(
    JNIEnv* env, jclass clazz, jstring verb, jstring file, jstring parameters, jstring directory, jint showCommand)
{
    return narrowMode ? Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteA(
                            env, clazz, verb, file, parameters, directory, showCommand)
                      : Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteW(
                            env, clazz, verb, file, parameters, directory, showCommand);
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecAndWaitA(JNIEnv* env, jclass,
                                                                                                jstring, jstring)
{
    throwNotImplemented(env, "shellExecuteAndWait");
    return 0;
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecAndWaitW(JNIEnv* env, jclass,
                                                                                                jstring, jstring)
{
    throwNotImplemented(env, "shellExecuteAndWait");
    return 0;
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecuteAndWait(JNIEnv* env,
                                                                                                  jclass clazz,
                                                                                                  jstring file,
                                                                                                  jstring parameters)
{
    return narrowMode ? Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecAndWaitA(
                            env, clazz, file, parameters)
                      : Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellExecAndWaitW(
                            env, clazz, file, parameters);
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getProcessId(JNIEnv* env, jclass, jint)
{
    throwNotImplemented(env, "getProcessId");
    return 0;
}

jlong JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_createMutex(JNIEnv* env, jclass, jstring)
{
    throwNotImplemented(env, "createMutex");
    return 0;
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getUserAppData(JNIEnv* env, jclass)
{
    throwNotImplemented(env, "getUserAppData");
    return nullptr;
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getComputerName(JNIEnv* env, jclass)
{
    throwNotImplemented(env, "getComputerName");
    return nullptr;
}
