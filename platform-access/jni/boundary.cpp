#include "platform-access/jni/boundary.h"

#include "platform-access/jni/frame.h"

namespace vantor::access {

void reportOperationFailure(JNIEnv* env, const char* operation, const char* message) noexcept
{
    if (env->ExceptionCheck() == JNI_TRUE) {
        return;
    }
    throwAccessException(env, operation, message);
}

}  // namespace vantor::access
