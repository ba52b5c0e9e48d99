// Drives and devices: the local drives and the hardware behind one of them.
//
// Exported so that the Java class binds completely; until the operations of
// this family are built into the library, each one throws
// (<method>, "not implemented") and returns its neutral result, so that no
// caller mistakes it for a success.
#include "exports.h"
#include "frame.h"

using namespace vantor::access;

jobject JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getAvailableDrives(JNIEnv* env, jclass)
{
    throwNotImplemented(env, "getAvailableDrives");
    return nullptr;
}

jobject JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getDriveInfo(JNIEnv* env, jclass,
                                                                                              jchar)
{
    throwNotImplemented(env, "getDriveInfo");
    return nullptr;
}
