// Network probes: the raw-socket route trace and the outside player's broadcast start.
//
// Exported so that the Java class binds completely; until the operations of
// this family are built into the library, each one throws
// (<method>, "not implemented") and returns its neutral result, so that no
// caller mistakes it for a success.
#include "exports.h"
#include "frame.h"

using namespace vantor::access;

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_traceRoute(JNIEnv* env, jclass, jint,
                                                                                         jint, jint, jint, jobject)
{
    throwNotImplemented(env, "traceRoute");
}

jlong JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_startBroadcast(JNIEnv* env, jclass, jint,
                                                                                              jstring)
{
    throwNotImplemented(env, "startBroadcast");
    return 0;
}
