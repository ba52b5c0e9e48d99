// Compiles the library's own declarations of its exports together with the
// declarations that javac generated from the Java class. An export whose
// parameter or result types drift from its Java method gives two
// conflicting declarations of one C function, and this file stops
// compiling.
#include "platform-access/jni/exports.h"

#include "ru_vantor_platform_win32_access_impl_OvWin32AccessInterface.h"
